#include "UploadCommand.h"

#include "JobRunner.h"
#include "MeetDatabaseOption.h"
#include "PortOption.h"

namespace KavvixCli {

void UploadCommand::describe(QCommandLineParser &parser) const {
    parser.addOptions({
        {QStringLiteral("db"),
         QStringLiteral("Meet database: an SQLite file or postgresql://user@host:port/db."),
         QStringLiteral("URL")},
        {QStringLiteral("meet"), QStringLiteral("Meet identifier (MeetID)."), QStringLiteral("ID")},
        {QStringLiteral("event"), QStringLiteral("Event identifier (EventID)."),
         QStringLiteral("ID")},
        optionWithDefault(QStringLiteral("order"),
                          QStringLiteral("Console dive order A, B, C or D."),
                          QStringLiteral("A|B|C|D"), QStringLiteral("A")),
    });
    PortOption::describe(parser, true);
}

int UploadCommand::run(const QCommandLineParser &parser, Console &console) {
    for (const char *required : {"meet", "event"})
        if (!parser.isSet(QLatin1String(required)))
            throw UsageError(QStringLiteral("--%1 is required").arg(QLatin1String(required)));
    const QString order = JobRunner::diveOrderCommand(parser.value(QStringLiteral("order")));
    const ChosenPort port = PortOption::resolve(parser);
    const QSqlDatabase db = openDatabaseOption(parser.value(QStringLiteral("db")));

    JobRunner runner(console);
    return runner.conclude(runner.upload(db, parser.value(QStringLiteral("meet")),
                                         parser.value(QStringLiteral("event")), order, port));
}

} // namespace KavvixCli
