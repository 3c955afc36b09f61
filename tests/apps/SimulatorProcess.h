#pragma once

#include "CliRunner.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace KavvixTest {

// "kavvix simulate" running in the background on a pseudo-terminal, mapped to a port number.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const QStringList &options = {}, qint16 port = 3);
    ~SimulatorProcess();

    bool started() const { return !m_device.isEmpty(); }
    QString device() const { return m_device; }
    // The environment that maps the port number to the simulator's device.
    QProcessEnvironment environment() const;
    // Stops it with SIGTERM and returns everything it printed.
    QString stop();

private:
    std::unique_ptr<QProcess> m_process;
    qint16 m_port;
    QString m_device;
    QString m_output;
};

// Reads lines from a running process until one contains text or the deadline passes.
bool waitForOutput(QProcess &process, QString &collected, const QString &text, int timeoutMs);

} // namespace KavvixTest
