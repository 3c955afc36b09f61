#include "SqlDialect.h"

#include <QSqlDriver>
#include <QStringList>

namespace Kavvix::SqlDialect {

Engine engineNamedBy(QStringView pathOrUrl) {
    for (QLatin1String scheme : {QLatin1String("postgresql://"), QLatin1String("postgres://")})
        if (pathOrUrl.startsWith(scheme, Qt::CaseInsensitive))
            return Engine::PostgreSQL;
    return Engine::SQLite;
}

Engine engineOf(const QSqlDatabase &db) {
    switch (db.driver() ? db.driver()->dbmsType() : QSqlDriver::UnknownDbms) {
    case QSqlDriver::SQLite:
        return Engine::SQLite;
    case QSqlDriver::PostgreSQL:
        return Engine::PostgreSQL;
    default:
        return Engine::Other;
    }
}

QString driverOf(Engine engine) {
    switch (engine) {
    case Engine::SQLite:
        return QStringLiteral("QSQLITE");
    case Engine::PostgreSQL:
        return QStringLiteral("QPSQL");
    default:
        return {};
    }
}

QString openProbe(Engine engine) {
    return engine == Engine::SQLite ? QStringLiteral("SELECT count(*) FROM sqlite_master")
                                    : QString();
}

QString trimmedLength(const QSqlDatabase &db, const QString &column) {
    if (engineOf(db) == Engine::Other) // databases that know the functions by their desktop names
        return QStringLiteral("Len(Trim(%1))").arg(column);
    return QStringLiteral("length(trim(%1))").arg(column);
}

QString ascendingNullsFirst(const QSqlDatabase &db, const QString &column) {
    if (engineOf(db) == Engine::PostgreSQL)
        return column + QStringLiteral(" NULLS FIRST");
    return column;
}

QString columnType(const QSqlDatabase &, QMetaType type) {
    // Both engines read these alike; a float column holds the exact value of a 32-bit float.
    switch (type.id()) {
    case QMetaType::Float:
        return QStringLiteral("DOUBLE PRECISION");
    case QMetaType::Short:
        return QStringLiteral("INTEGER");
    default:
        return QStringLiteral("VARCHAR(64)");
    }
}

QString createTableIfMissing(const QSqlDatabase &, const QString &table,
                             const QStringList &columns) {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(table, columns.join(QStringLiteral(", ")));
}

QString lockWaitOptions(const QSqlDatabase &db, int ms) {
    if (engineOf(db) != Engine::SQLite)
        return {};
    return QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(ms);
}

QString otherWritersMark(const QSqlDatabase &db) {
    if (engineOf(db) != Engine::SQLite)
        return {};
    return QStringLiteral("PRAGMA data_version");
}

QString notifyStatement(const QSqlDatabase &db) {
    return hasNotifications(db) ? QStringLiteral("SELECT pg_notify(?, ?)") : QString();
}

bool hasNotifications(const QSqlDatabase &db) {
    return engineOf(db) == Engine::PostgreSQL;
}

} // namespace Kavvix::SqlDialect
