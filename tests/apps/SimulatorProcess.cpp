#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace KavvixTest {

bool waitForOutput(QProcess &process, QString &collected, const QString &text, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!collected.contains(text)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        collected += QString::fromUtf8(process.readAllStandardOutput());
    }
    return true;
}

SimulatorProcess::SimulatorProcess(const QStringList &options, qint16 port) : m_port(port) {
    m_process = startCli(
        QStringList{QStringLiteral("simulate"), QStringLiteral("--port"), QString::number(port)} +
        options);
    if (!m_process->waitForStarted(10000))
        return;
    const QString marker = QStringLiteral("KAVVIX_COM%1=").arg(port);
    if (!waitForOutput(*m_process, m_output, QStringLiteral("Ctrl-C stops."), 20000))
        return;
    const auto match = QRegularExpression(marker + QStringLiteral("(\\S+)")).match(m_output);
    if (match.hasMatch())
        m_device = match.captured(1);
}

SimulatorProcess::~SimulatorProcess() {
    stop();
}

QProcessEnvironment SimulatorProcess::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAVVIX_COM%1").arg(m_port), m_device);
    return env;
}

QString SimulatorProcess::stop() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_output += QString::fromUtf8(m_process->readAllStandardOutput());
    }
    return m_output;
}

} // namespace KavvixTest
