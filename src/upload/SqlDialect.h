#pragma once

#include <QSqlDatabase>
#include <QString>

// The few places where the host database's SQL dialect shows. Every choice of dialect is
// made here, from the driver's database type.
namespace Kavvix::SqlDialect {

// The length of a text column with its leading and trailing blanks removed.
QString trimmedLength(const QSqlDatabase &db, const QString &column);

// An ascending sort key that puts nulls first on every database (PostgreSQL puts them last),
// so a query returns its rows in the same order everywhere.
QString ascendingNullsFirst(const QSqlDatabase &db, const QString &column);

} // namespace Kavvix::SqlDialect
