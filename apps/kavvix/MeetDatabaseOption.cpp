#include "MeetDatabaseOption.h"

#include "Command.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>

namespace KavvixCli {

QSqlDatabase openDatabaseOption(const QString &pathOrUrl) {
    if (pathOrUrl.isEmpty())
        throw UsageError(
            QStringLiteral("--db is required (an SQLite file or a postgresql:// URL)"));
    try {
        return Kavvix::openMeetDatabase(pathOrUrl, QStringLiteral("kavvix-cli"));
    } catch (const Kavvix::Error &e) {
        throw UserError(e.description());
    }
}

void requireMeet(const QSqlDatabase &db, const QString &meetId) {
    // Checking the tables first names a missing one, rather than the failure of a query on it.
    Kavvix::requireMeetTables(db);
    if (!Kavvix::hasMeet(db, meetId))
        throw UserError(QStringLiteral("meet '%1' is not in the database").arg(meetId));
}

} // namespace KavvixCli
