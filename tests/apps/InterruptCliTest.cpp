// Ctrl-C (SIGINT) or SIGTERM in the middle of an upload or a connection test: the job is
// cancelled, the port closed, a last message line, exit 128 + the signal; the device works for
// the next command at once.

#include "CliRunner.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace KavvixTest;

TEST(InterruptCli, UploadAndTestStopCleanlyOnSignals) {
    QTemporaryDir folder;
    const QString meet = folder.filePath(QStringLiteral("meet.sqlite"));
    ASSERT_EQ(runCli({"sample-db", meet}).exitCode, 0);

    // The command, the line to wait for before the signal, the signal, the last line after it.
    const std::tuple<QStringList, QString, int, QString> cases[] = {
        {{"upload", "--db", meet, "--meet", "RIV26", "--event", "E25", "--port", "3"},
         "Sending packet 2",
         SIGINT,
         "Process aborted - upload cancelled"},
        {{"upload", "--db", meet, "--meet", "RIV26", "--event", "E25", "--port", "3"},
         "Sending packet 1",
         SIGTERM,
         "Process aborted - upload cancelled"},
        {{"test-connection", "--port", "3"},
         "waiting for reply",
         SIGINT,
         "Connection test cancelled"},
    };
    for (const auto &[arguments, waitFor, signal, last] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString() + " signal " + std::to_string(signal));
        // A console that answers the test never and each frame at the line's own pace.
        SimulatorProcess simulator(arguments.front() == "upload" ? QStringList{"--line-rate"}
                                                                 : QStringList{"--silent"});
        ASSERT_TRUE(simulator.started());
        auto process = startCli(arguments, simulator.environment());
        QString out;
        ASSERT_TRUE(waitForOutput(*process, out, waitFor)) << out.toStdString();
        ::kill(pid_t(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(10000));
        out += QString::fromUtf8(process->readAllStandardOutput());
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 128 + signal);
        EXPECT_TRUE(out.trimmed().endsWith(last)) << out.toStdString();

        // The same device is usable again right away, whatever the killed command left on it.
        if (arguments.front() == "upload") {
            const CliResult again =
                runCli({"test-connection", "--port", "3"}, {}, simulator.environment());
            EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
        }
    }
}
