#pragma once

#include "Command.h"
#include "RecordingPlayer.h"

#include <memory>

namespace Kavvix {
class ConsoleSimulator;
}

namespace KavvixCli::ReplayOption {

// --replay FILE and --speed X of kavvix simulate.
void describe(QCommandLineParser &parser);
// With --replay, prepares the recording to be played on the simulator's line once the other
// end sends its first frame (kavvix serve asks for the version as soon as it opens the line,
// so nothing is sent before anyone listens). Null without --replay; throws UserError for a
// file that is not a recording.
std::unique_ptr<RecordingPlayer> start(const QCommandLineParser &parser,
                                       Kavvix::ConsoleSimulator &simulator, Console &console);

} // namespace KavvixCli::ReplayOption
