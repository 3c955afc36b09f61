#include "TestConnectionCommand.h"

#include "JobRunner.h"
#include "PortOption.h"

namespace KavvixCli {

void TestConnectionCommand::describe(QCommandLineParser &parser) const {
    PortOption::describe(parser, true);
}

int TestConnectionCommand::run(const QCommandLineParser &parser, Console &console) {
    const ChosenPort port = PortOption::resolve(parser);
    JobRunner runner(console);
    return runner.conclude(runner.testConnection(port));
}

} // namespace KavvixCli
