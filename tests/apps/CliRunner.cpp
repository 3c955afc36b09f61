#include "CliRunner.h"

#include <memory>

namespace KavvixTest {

std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QProcessEnvironment &env) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KAVVIX_CLI_PATH), arguments);
    return process;
}

CliResult runCli(const QStringList &arguments, const QByteArray &input, int timeoutMs,
                 const QProcessEnvironment &env) {
    auto process = startCli(arguments, env);
    CliResult result;
    if (!process->waitForStarted(timeoutMs))
        return result;
    process->write(input);
    process->closeWriteChannel();
    result.finished = process->waitForFinished(timeoutMs);
    if (!result.finished) {
        process->kill();
        process->waitForFinished();
    }
    result.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    result.out = QString::fromUtf8(process->readAllStandardOutput());
    result.err = QString::fromUtf8(process->readAllStandardError());
    return result;
}

} // namespace KavvixTest
