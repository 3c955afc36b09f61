#include "DialogCommand.h"

#include "InterruptWatcher.h"
#include "MeetDatabaseOption.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/cDakUploadForm.h>

#include <QApplication>
#include <QWidget>

namespace KavvixCli {

void DialogCommand::describe(QCommandLineParser &parser) const {
    parser.addOptions({
        {QStringLiteral("db"),
         QStringLiteral("Meet database: an SQLite file or postgresql://user@host:port/db."),
         QStringLiteral("URL")},
        {QStringLiteral("meet"), QStringLiteral("Meet identifier (MeetID)."), QStringLiteral("ID")},
    });
}

int DialogCommand::run(const QCommandLineParser &parser, Console &console) {
    if (!parser.isSet(QStringLiteral("meet")))
        throw UsageError(QStringLiteral("--meet is required"));
    const QString meetId = parser.value(QStringLiteral("meet"));
    const QSqlDatabase db = openDatabaseOption(parser.value(QStringLiteral("db")));
    requireMeet(db, meetId);
    // Ctrl-C closes the dialog the way its Done button does.
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    console.err << "Upload dialog for meet " << meetId << " ("
                << Kavvix::modKavvix::GetMeetName(meetId, db) << "); close it or press Ctrl-C.\n";
    console.err.flush();
    Kavvix::cDakUploadForm form;
    form.ShowForm(db, nullptr, meetId);
    return Success;
}

} // namespace KavvixCli
