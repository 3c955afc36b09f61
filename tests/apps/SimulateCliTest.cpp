#include "CliRunner.h"

#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace KavvixTest;

namespace {

// CPU time a process has used so far (user and system), in clock ticks.
qint64 cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // After "pid (name)": state, then ... utime and stime as the 12th and 13th fields.
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

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
        const qint64 before = cpuTicks(pid);
        QThread::msleep(1000);
        EXPECT_LT(cpuTicks(pid) - before, ::sysconf(_SC_CLK_TCK) / 5); // under 0.2 s in 1 s

        ::kill(pid_t(pid), signal);
        ASSERT_TRUE(simulator->waitForFinished(5000));
        EXPECT_EQ(simulator->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(simulator->exitCode(), 0);
        const QString err = QString::fromUtf8(simulator->readAllStandardError());
        EXPECT_EQ(err.count(QStringLiteral("nobody is reading the line")), 1) << err;
    }
}

} // namespace
