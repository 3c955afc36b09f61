#include "Commands.h"

#include "DemoCommand.h"
#include "DialogCommand.h"
#include "MonitorCommand.h"
#include "ParseCommand.h"
#include "SampleDbCommand.h"
#include "ServeCommand.h"
#include "SimulateCommand.h"
#include "TestConnectionCommand.h"
#include "UploadCommand.h"

namespace KavvixCli {

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<DemoCommand>());
    commands.push_back(std::make_unique<ParseCommand>());
    commands.push_back(std::make_unique<MonitorCommand>());
    commands.push_back(std::make_unique<SimulateCommand>());
    commands.push_back(std::make_unique<TestConnectionCommand>());
    commands.push_back(std::make_unique<UploadCommand>());
    commands.push_back(std::make_unique<DialogCommand>());
    commands.push_back(std::make_unique<SampleDbCommand>());
    commands.push_back(std::make_unique<ServeCommand>());
    return commands;
}

} // namespace KavvixCli
