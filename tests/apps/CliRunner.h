#pragma once

// The kavvix program, run for real: to its end, in the background, or as the console simulator.
#include <QProcess>

#include <memory>

namespace KavvixTest {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Starts the kavvix program without waiting (for simulate, monitor, dialog).
std::unique_ptr<QProcess>
startCli(const QStringList &arguments,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// Runs the kavvix program with arguments and standard input; killed after a minute (exit code -1).
CliResult runCli(const QStringList &arguments, const QByteArray &input = {},
                 const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// Reads a running process's channel into collected until it holds text (false at the deadline).
bool waitForOutput(QProcess &process, QString &collected, const QString &text,
                   QProcess::ProcessChannel channel = QProcess::StandardOutput);

// "kavvix simulate" running in the background on a pseudo-terminal, mapped to port 3.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const QStringList &options = {});
    ~SimulatorProcess() { stop(); }

    bool started() const { return !m_device.isEmpty(); }
    const QString &device() const { return m_device; }
    // The environment that maps port 3 to the simulator's device.
    QProcessEnvironment environment() const;
    // Stops it with SIGTERM and returns everything it printed.
    QString stop();

private:
    std::unique_ptr<QProcess> m_process;
    QString m_device;
    QString m_output;
};

} // namespace KavvixTest
