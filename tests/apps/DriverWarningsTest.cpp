#include "DriverWarnings.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList shown;

// The driver's multi-line warning about a statement lost with its server is dropped; every
// other message still reaches the handler installed before.
TEST(DriverWarnings, DropOnlyTheLostStatementWarning) {
    const QtMessageHandler original = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { shown << text; });
    KavvixCli::DriverWarnings::install();
    qWarning("Unable to free statement: FATAL:  terminating connection due to administrator "
             "command\nserver closed the connection unexpectedly");
    qWarning("kavvix: cannot write log file");
    qInstallMessageHandler(original);
    EXPECT_EQ(shown, QStringList{"kavvix: cannot write log file"});
}

} // namespace
