#include "CliRunner.h"
#include "CpuTime.h"

#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

using namespace KavvixTest;

namespace {

// Judged dives sent faster than anything reads them, with nothing attached to the line: all
// are sent, what does not fit is dropped with one note, the simulator idles afterwards, and
// either signal stops it at once.
TEST(SimulateCli, NobodyReadingTheLineNeitherHangsNorSpins) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        auto simulator =
            startCli({"simulate", "--send-dives", "1000", "--dive-interval", "1", "--now"});
        QString out;
        ASSERT_TRUE(waitForOutput(*simulator, out, QStringLiteral("sent judged dive 1000\n")))
            << out.right(200);
        const qint64 pid = simulator->processId();
        const double before = cpuSeconds(pid);
        QThread::msleep(1000);
        EXPECT_LT(cpuSeconds(pid) - before, 0.2); // in 1 s

        ::kill(pid_t(pid), signal);
        ASSERT_TRUE(simulator->waitForFinished(5000));
        EXPECT_EQ(simulator->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(simulator->exitCode(), 0);
        const QString err = QString::fromUtf8(simulator->readAllStandardError());
        EXPECT_EQ(err.count(QStringLiteral("nobody is reading the line")), 1) << err;
    }
}

} // namespace
