#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix monitor --port N | --device PATH: prints what the timing console reports.
class MonitorCommand : public Command {
public:
    QString name() const override { return QStringLiteral("monitor"); }
    QString summary() const override {
        return QStringLiteral("Print the timing console's reports (version, judged dives, errors)");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

} // namespace KavvixCli
