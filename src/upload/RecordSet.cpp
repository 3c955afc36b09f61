#include "RecordSet.h"

#include "ServerWatchdog.h"
#include "common/NumericText.h"

#include <QSqlError>

namespace Kavvix::RecordSet {

QueryFailure::QueryFailure(const QString &text) : std::runtime_error(text.toStdString()) {}

QString describe(const QSqlError &error, const ServerWatchdog &watchdog) {
    if (watchdog.expired())
        return QStringLiteral("the database server did not answer within %1 ms")
            .arg(watchdog.timeoutMs());
    // PostgreSQL follows its first line with the statement and a caret under the fault.
    const QString own = error.databaseText().section(QLatin1Char('\n'), 0, 0).simplified();
    return own.isEmpty() ? error.driverText().simplified() : own;
}

std::unique_ptr<QSqlQuery> open(const QSqlDatabase &db, const QString &sql,
                                const QVariantList &values) {
    // A connection that is not open fails like any query would, without Qt's console warning.
    // A named connection that was opened is closed by the driver when the server goes away.
    if (!db.isOpen())
        throw QueryFailure(db.isValid() ? QStringLiteral("the database connection is closed or "
                                                         "was lost (has the server shut down?)")
                                        : QStringLiteral("the database connection is not open"));
    auto rs = std::make_unique<QSqlQuery>(db);
    rs->setForwardOnly(false);
    const ServerWatchdog watchdog(db);
    if (!rs->prepare(sql))
        throw QueryFailure(describe(rs->lastError(), watchdog));
    for (const QVariant &value : values)
        rs->addBindValue(value);
    if (!rs->exec())
        throw QueryFailure(describe(rs->lastError(), watchdog));
    return rs;
}

int rowCount(QSqlQuery &rs) {
    if (!rs.last())
        return 0;
    const int count = rs.at() + 1;
    rs.first();
    return count;
}

double numberOf(const QVariant &field) {
    return NumericText::valueOf(field.isNull() ? QString() : field.toString());
}

} // namespace Kavvix::RecordSet
