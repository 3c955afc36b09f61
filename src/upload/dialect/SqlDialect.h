#pragma once

#include <QMetaType>
#include <QSqlDatabase>
#include <QString>
#include <QStringView>

// Every place where the meet database's engine shows: which engine a name or a connection
// stands for, its Qt driver, its SQL dialect, its column types and its waits. Every choice of
// engine is made in this folder; the rest of the library writes SQL that both engines read.
namespace Kavvix::SqlDialect {

enum class Engine { SQLite, PostgreSQL, Other };

// The one rule for telling a database URL from a file name: a text beginning with
// postgresql:// or postgres://, in any letter case, names a PostgreSQL database; anything
// else is an SQLite file path.
Engine engineNamedBy(QStringView pathOrUrl);
// The engine behind an open (or opened once) connection.
Engine engineOf(const QSqlDatabase &db);
// The Qt SQL driver of an engine ("QSQLITE", "QPSQL"); empty for Other.
QString driverOf(Engine engine);
// A statement that fails on a file that is not a database of the engine, which opens any file
// lazily; empty when opening shows it already.
QString openProbe(Engine engine);

// The length of a text column with its leading and trailing blanks removed.
QString trimmedLength(const QSqlDatabase &db, const QString &column);

// An ascending sort key that puts nulls first on every database (PostgreSQL puts them last),
// so a query returns its rows in the same order everywhere.
QString ascendingNullsFirst(const QSqlDatabase &db, const QString &column);

// The column type that keeps a value of the type: a 32-bit float, a 16-bit integer, or text
// of at most 64 characters for anything else.
QString columnType(const QSqlDatabase &db, QMetaType type);

// "CREATE TABLE" for a table that may exist already, with its column definitions in order.
QString createTableIfMissing(const QSqlDatabase &db, const QString &table,
                             const QStringList &columns);

// The connect options that make a write wait up to ms for a lock another program holds on the
// database, where the engine waits on locks at all (SQLite); empty otherwise. They apply from
// the next open of the connection.
QString lockWaitOptions(const QSqlDatabase &db, int ms);

// A query whose one value changes whenever another connection has written to the database,
// where the engine keeps such a count (SQLite); empty otherwise.
QString otherWritersMark(const QSqlDatabase &db);

// A statement that announces (channel, payload), both bound as values, to the connections
// listening on the channel once the transaction it runs in commits, where the engine has such
// notifications (PostgreSQL); empty otherwise.
QString notifyStatement(const QSqlDatabase &db);
// Whether a connection of the engine can listen for those notifications.
bool hasNotifications(const QSqlDatabase &db);
// The longest payload a notification carries, in bytes of UTF-8.
inline constexpr int MaxNotificationBytes = 7999;

} // namespace Kavvix::SqlDialect
