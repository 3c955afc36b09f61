#include "TestConnectionCommand.h"

#include "HeadlessUpload.h"
#include "PortOption.h"

namespace KavvixCli {

void TestConnectionCommand::describe(QCommandLineParser &parser) const {
    PortOption::describe(parser, true);
}

int TestConnectionCommand::run(const QCommandLineParser &parser, Console &console) {
    const qint16 port = PortOption::resolve(parser);
    HeadlessUpload session(console);
    return session.testConnection(port) ? Success : Failure;
}

} // namespace KavvixCli
