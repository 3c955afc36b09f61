#pragma once

#include <QSqlDatabase>
#include <QString>

// How long a PostgreSQL meet database may take: the time-outs travel with the connection as
// its connect options, so every query on it finds them there.
namespace Kavvix::StatementTimeout {

// The QPSQL connect options for the two time-outs; 0 means no limit. The statement time-out
// is also given to the server, which ends a slow statement itself while it is running.
QString connectOptions(int connectSeconds, int statementMs);

// The statement time-out in milliseconds set on a PostgreSQL connection; 0 for none or for
// any other database.
int of(const QSqlDatabase &db);

} // namespace Kavvix::StatementTimeout
