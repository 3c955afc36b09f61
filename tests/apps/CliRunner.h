#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace KavvixTest {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    bool finished = false; // false: still running at the deadline (then killed)
};

// Runs the kavvix program with arguments and standard input, waiting at most timeoutMs.
CliResult runCli(const QStringList &arguments, const QByteArray &input = {}, int timeoutMs = 60000,
                 const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// Starts the kavvix program without waiting (for simulate, monitor).
std::unique_ptr<QProcess>
startCli(const QStringList &arguments,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace KavvixTest
