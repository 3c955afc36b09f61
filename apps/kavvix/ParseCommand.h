#pragma once

#include "Command.h"

namespace KavvixCli {

// kavvix parse colorado|daktronics [FILE|-]: console text in, score sets out.
class ParseCommand : public Command {
public:
    QString name() const override { return QStringLiteral("parse"); }
    QString summary() const override {
        return QStringLiteral("Read judging console text and print the score sets");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

private:
    int parseColorado(const QString &text, bool json, Console &console);
    int parseDaktronics(const QString &text, bool json, bool each, Console &console);
};

} // namespace KavvixCli
