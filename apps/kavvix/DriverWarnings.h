#pragma once

#include <QString>

namespace KavvixCli::DriverWarnings {

// The PostgreSQL driver warns on standard error, in several lines, when it cannot free a
// prepared statement because the server has gone; the statement went with the connection,
// and the tool reports the lost server in its own one line. Drops those warnings and passes
// every other message to the handler that was installed before.
void install();

// Whether a message is one of those warnings.
bool isLostStatementWarning(const QString &message);

} // namespace KavvixCli::DriverWarnings
