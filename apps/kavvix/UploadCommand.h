#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix upload --db URL --meet ID --event ID [--order A|B|C|D] --port N
class UploadCommand : public Command {
public:
    QString name() const override { return QStringLiteral("upload"); }
    QString summary() const override {
        return QStringLiteral("Validate an event and upload its dive sheets to the timing console");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

} // namespace KavvixCli
