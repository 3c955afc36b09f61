#pragma once

#include <QSqlDatabase>
#include <QString>

namespace KavvixCli {

// Opens the --db value (an SQLite file path or a postgresql:// URL) for a command; throws
// UserError naming the value when it cannot.
QSqlDatabase openDatabaseOption(const QString &pathOrUrl);

// Throws when the database lacks a table or column the upload reads, or has no meet with
// this identifier.
void requireMeet(const QSqlDatabase &db, const QString &meetId);

} // namespace KavvixCli
