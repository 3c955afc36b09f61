#pragma once

#include <QJsonObject>
#include <QObject>
#include <QTextStream>

namespace KavvixCli {

// Prints the score set a parser object holds, read through its properties by name, so the
// same printer serves both console parsers.
class ScoreSetPrinter {
public:
    static QJsonObject toJson(const QObject &scoreSet);
    static void printTable(const QObject &scoreSet, QTextStream &out);
    static void printJsonLine(const QObject &scoreSet, QTextStream &out);
};

} // namespace KavvixCli
