#include "TestConnectionCommand.h"

#include "JobRunner.h"
#include "PortOption.h"

namespace KavvixCli {

void TestConnectionCommand::describe(QCommandLineParser &parser) const {
    PortOption::describe(parser, true);
}

int TestConnectionCommand::run(const QCommandLineParser &parser, Console &console) {
    const qint16 port = PortOption::resolve(parser);
    JobRunner runner(console);
    return runner.exitCode(runner.testConnection(port));
}

} // namespace KavvixCli
