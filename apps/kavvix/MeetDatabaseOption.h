#pragma once

#include <QSqlDatabase>
#include <QString>

namespace KavvixCli {

// Opens the --db value (an SQLite file path or a postgresql:// URL) for a command; throws
// UserError naming the value when it cannot.
QSqlDatabase openDatabaseOption(const QString &pathOrUrl);

// Throws UserError when the database has no meet with this identifier.
void requireMeet(const QSqlDatabase &db, const QString &meetId);

// True for a postgresql:// or postgres:// URL.
bool isDatabaseUrl(const QString &pathOrUrl);

} // namespace KavvixCli
