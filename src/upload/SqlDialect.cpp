#include "SqlDialect.h"

#include <QSqlDriver>

namespace Kavvix::SqlDialect {

namespace {

QSqlDriver::DbmsType dbmsOf(const QSqlDatabase &db) {
    return db.driver() ? db.driver()->dbmsType() : QSqlDriver::UnknownDbms;
}

} // namespace

QString trimmedLength(const QSqlDatabase &db, const QString &column) {
    switch (dbmsOf(db)) {
    case QSqlDriver::SQLite:
    case QSqlDriver::PostgreSQL:
        return QStringLiteral("length(trim(%1))").arg(column);
    default:
        // Databases that know the functions under their desktop names.
        return QStringLiteral("Len(Trim(%1))").arg(column);
    }
}

QString ascendingNullsFirst(const QSqlDatabase &db, const QString &column) {
    if (dbmsOf(db) == QSqlDriver::PostgreSQL)
        return column + QStringLiteral(" NULLS FIRST");
    return column;
}

} // namespace Kavvix::SqlDialect
