#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix sample-db PATH|URL: writes the sample meet into a new SQLite file or a PostgreSQL
// database and lists its events.
class SampleDbCommand : public Command {
public:
    QString name() const override { return QStringLiteral("sample-db"); }
    QString summary() const override {
        return QStringLiteral("Write the sample meet database (SQLite file or PostgreSQL URL)");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
    qsizetype maxArguments() const override { return 1; }
};

} // namespace KavvixCli
