#include "SampleDbCommand.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/simulator/SampleMeet.h>

namespace KavvixCli {

void SampleDbCommand::describe(QCommandLineParser &parser) const {
    parser.addPositionalArgument(
        QStringLiteral("target"),
        QStringLiteral("A new SQLite file, or postgresql://user@host:port/db (an empty database)"),
        QStringLiteral("PATH|URL"));
}

int SampleDbCommand::run(const QCommandLineParser &parser, Console &console) {
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        throw UsageError(QStringLiteral("expected one PATH or URL"));
    const QString target = args[0];

    const QSqlDatabase db = Kavvix::createMeetDatabase(target, QStringLiteral("kavvix-cli"));
    Kavvix::SampleMeet::write(db);

    const QString meetId = Kavvix::SampleMeet::MeetID;
    console.out << "Wrote the sample meet to " << target << "\n"
                << "Meet " << meetId << ": " << Kavvix::modKavvix::GetMeetName(meetId, db) << "\n"
                << "Events (ID, name):\n";
    if (auto events = Kavvix::modKavvix::GetMeetEvents(meetId, db)) {
        while (events->next())
            console.out << "  " << events->value(1).toString().leftJustified(6) << ' '
                        << events->value(0).toString() << '\n';
    }
    return Success;
}

} // namespace KavvixCli
