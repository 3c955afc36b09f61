#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix simulate: plays the timing console on a pseudo-terminal until interrupted.
class SimulateCommand : public Command {
public:
    QString name() const override { return QStringLiteral("simulate"); }
    QString summary() const override {
        return QStringLiteral("Play the timing console on a pseudo-terminal (no hardware needed)");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

} // namespace KavvixCli
