#include "MeetDatabaseOption.h"

#include "Command.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>

#include <QSqlError>
#include <QSqlQuery>

namespace KavvixCli {

bool isDatabaseUrl(const QString &pathOrUrl) {
    return pathOrUrl.startsWith(QLatin1String("postgresql://")) ||
           pathOrUrl.startsWith(QLatin1String("postgres://"));
}

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

} // namespace KavvixCli

namespace KavvixCli {

void requireMeet(const QSqlDatabase &db, const QString &meetId) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"));
    query.addBindValue(meetId);
    if (!query.exec() || !query.next())
        throw UserError(QStringLiteral("cannot read the meets of the database: %1")
                            .arg(query.lastError().text()));
    if (query.value(0).toInt() == 0)
        throw UserError(QStringLiteral("meet '%1' is not in the database").arg(meetId));
}

} // namespace KavvixCli
