#include "CliRunner.h"

#include <QDeadlineTimer>

namespace KavvixTest {

std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QProcessEnvironment &env) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KAVVIX_CLI_PATH), arguments);
    return process;
}

CliResult runCli(const QStringList &arguments, const QByteArray &input,
                 const QProcessEnvironment &env) {
    const auto process = startCli(arguments, env);
    if (!process->waitForStarted(60000))
        return {};
    process->write(input);
    process->closeWriteChannel();
    if (!process->waitForFinished(60000))
        return {}; // killed as the process object goes
    return {process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
            QString::fromUtf8(process->readAllStandardOutput()),
            QString::fromUtf8(process->readAllStandardError())};
}

bool waitForOutput(QProcess &process, QString &collected, const QString &text,
                   QProcess::ProcessChannel channel) {
    process.setReadChannel(channel);
    QDeadlineTimer deadline(30000);
    while (!collected.contains(text)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        collected += QString::fromUtf8(process.readAll());
    }
    return true;
}

SimulatorProcess::SimulatorProcess(const QStringList &options)
    : m_process(startCli(QStringList{"simulate", "--port", "3"} + options)) {
    if (waitForOutput(*m_process, m_output, QStringLiteral("Ctrl-C stops.")))
        m_device =
            m_output.section(QStringLiteral("Console simulator on "), 1).section(u'\n', 0, 0);
}

QProcessEnvironment SimulatorProcess::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAVVIX_COM3"), m_device);
    return env;
}

QString SimulatorProcess::stop() {
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_output += QString::fromUtf8(m_process->readAllStandardOutput());
    }
    return m_output;
}

} // namespace KavvixTest
