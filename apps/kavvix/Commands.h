#pragma once

#include "Command.h"

#include <memory>
#include <vector>

namespace KavvixCli {

// Every subcommand, in the order the overview lists them.
std::vector<std::unique_ptr<Command>> allCommands();

} // namespace KavvixCli
