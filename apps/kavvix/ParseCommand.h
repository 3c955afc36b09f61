#pragma once

#include "Command.h"

namespace KavvixCli {

class InputSource;

// kavvix parse colorado|daktronics [FILE|-]: console text in, score sets out. The input is
// read as a stream, so its size does not matter.
class ParseCommand : public Command {
public:
    QString name() const override { return QStringLiteral("parse"); }
    QString summary() const override {
        return QStringLiteral("Read judging console text and print the score sets");
    }
    void describe(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
    qsizetype maxArguments() const override { return 2; }

private:
    int parseColorado(InputSource &input, bool json, Console &console);
    int parseDaktronics(InputSource &input, bool json, bool each, Console &console);
    static void print(const QObject &scoreSet, bool json, Console &console);
};

} // namespace KavvixCli
