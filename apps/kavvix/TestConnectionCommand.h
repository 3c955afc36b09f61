#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix test-connection --port N: asks the console for its software version.
class TestConnectionCommand : public Command {
public:
    QString name() const override { return QStringLiteral("test-connection"); }
    QString summary() const override {
        return QStringLiteral("Test the serial connection to the timing console");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

} // namespace KavvixCli
