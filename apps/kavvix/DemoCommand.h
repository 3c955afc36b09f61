#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix demo: the whole upload on this machine, no hardware needed, then a round of judged
// dives through the live results service.
class DemoCommand : public Command {
public:
    QString name() const override { return QStringLiteral("demo"); }
    QString summary() const override {
        return QStringLiteral("Upload a sample event to the console simulator, end to end");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

} // namespace KavvixCli
