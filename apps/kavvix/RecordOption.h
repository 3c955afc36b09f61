#pragma once

#include <kavvix/service/Recording.h>

#include <QCommandLineParser>

#include <memory>

namespace KavvixCli::RecordOption {

// --record FILE: append every byte received, with its arrival time, to a recording.
void describe(QCommandLineParser &parser);
// The open recording, or null without --record; throws UserError when it cannot be opened.
std::unique_ptr<Kavvix::Recording::Writer> open(const QCommandLineParser &parser);

} // namespace KavvixCli::RecordOption
