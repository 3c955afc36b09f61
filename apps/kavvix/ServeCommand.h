#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix serve: the live results service for a meet (see <kavvix/service/LiveService.h>).
class ServeCommand : public Command {
public:
    QString name() const override { return QStringLiteral("serve"); }
    QString summary() const override {
        return QStringLiteral("Store judged dives in the meet database and serve them live");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
    bool servesManyClients() const override { return true; }
};

} // namespace KavvixCli
