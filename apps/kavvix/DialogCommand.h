#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix dialog --db URL --meet ID: the upload dialog, as the meet manager opens it.
class DialogCommand : public Command {
public:
    QString name() const override { return QStringLiteral("dialog"); }
    QString summary() const override { return QStringLiteral("Open the upload dialog for a meet"); }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
    bool needsWidgets() const override { return true; }
};

} // namespace KavvixCli
