#include "DialogCommand.h"

#include "MeetDatabaseOption.h"

#include <kavvix/cDakUploadForm.h>

namespace KavvixCli {

void DialogCommand::describe(QCommandLineParser &parser) const {
    parser.addOptions({
        {QStringLiteral("db"),
         QStringLiteral("Meet database: an SQLite file or postgresql://user@host:port/db."),
         QStringLiteral("URL")},
        {QStringLiteral("meet"), QStringLiteral("Meet identifier (MeetID)."), QStringLiteral("ID")},
    });
}

int DialogCommand::run(const QCommandLineParser &parser, Console &) {
    if (!parser.isSet(QStringLiteral("meet")))
        throw UsageError(QStringLiteral("--meet is required"));
    const QString meetId = parser.value(QStringLiteral("meet"));
    const QSqlDatabase db = openDatabaseOption(parser.value(QStringLiteral("db")));
    requireMeet(db, meetId);
    Kavvix::cDakUploadForm form;
    form.ShowForm(db, nullptr, meetId);
    return Success;
}

} // namespace KavvixCli
