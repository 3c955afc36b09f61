// kavvix simulate --replay plays a recording back whole, dive for dive: the one kavvix serve
// --record made of a meet, and recordings hard on the player: more than the line's queue due at
// once, a time far ahead of the rest (a corrupt record), times going backwards.
#include "../apps/CliRunner.h"
#include "SentDive.h"
#include "ServiceHarness.h"
#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/service/Recording.h>

#include <QFile>

#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;

namespace {

// A recording of dives round by round, twelve a round, each byte at the time timeOf gives it.
void writeRecording(const QString &path, int dives, qint64 (*timeOf)(qsizetype byte)) {
    Kavvix::Recording::Writer writer;
    ASSERT_TRUE(writer.open(path));
    qsizetype byte = 0;
    for (int i = 0; i < dives; ++i) {
        SentDive dive;
        dive.round = qint16(i / 12 + 1);
        dive.divingOrder = qint16(i % 12 + 1);
        for (char value : ConsoleSimulator::diveResultFrame(*toRecord(dive)).toLatin1())
            writer.append(value, 1'000'000'000 + timeOf(byte++));
    }
}

} // namespace

TEST(ServeRecording, ReplayDeliversEveryDiveOfEachRecording) {
    QTemporaryDir dir;
    const QString served = dir.filePath(QStringLiteral("served.rec"));
    {
        MeetDb db(QStringLiteral("SQLite"), QStringLiteral("recorded"));
        ConsoleSimulator simulator;
        ServiceProcess service({"--db", db.location(), "--meet", "RIV26", "--event", "E12",
                                "--device", simulator.slavePath(), "--record", served, "--journal",
                                dir.filePath(QStringLiteral("journal"))});
        ASSERT_TRUE(service.started()) << service.log().toStdString();
        FeedClient feed(service.port());
        for (int order = 1; order <= 5; ++order)
            sendDive(simulator, plainDive(order));
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 5).size(), 5);
        EXPECT_EQ(service.stop(), 0);
    }
    QList<Kavvix::Recording::Byte> bytes;
    QString problem;
    ASSERT_TRUE(Kavvix::Recording::read(served, bytes, problem)) << problem.toStdString();
    EXPECT_TRUE(std::is_sorted(bytes.begin(), bytes.end(),
                               [](const auto &a, const auto &b) { return a.atUs < b.atUs; }));

    const struct {
        const char *name;
        int dives;
        const char *speed;
        qint64 (*timeOf)(qsizetype byte); // none: the recording kavvix serve made
    } cases[] = {
        {"recorded by kavvix serve", 5, "0", nullptr},
        {"800 dives at once", 800, "0", [](qsizetype byte) { return qint64(byte); }},
        {"a time 35 years ahead", 40, "100",
         [](qsizetype byte) { return byte == 1000 ? qint64(1) << 50 : qint64(byte) * 20; }},
        {"times going backwards", 40, "1",
         [](qsizetype byte) { return (qint64(1) << 40) - qint64(byte) * 20; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString path = served;
        if (c.timeOf) {
            path = dir.filePath(QStringLiteral("written.rec"));
            QFile::remove(path);
            writeRecording(path, c.dives, c.timeOf);
        }
        SimulatorProcess player({"--replay", path, "--speed", c.speed});
        ASSERT_TRUE(player.started());
        auto monitor = startCli({"monitor", "--port", "3", "--json", "--request-version"},
                                player.environment());
        QString out;
        EXPECT_TRUE(waitForOutput(*monitor, out,
                                  QStringLiteral("\"DiveRound\":%1").arg((c.dives - 1) / 12 + 1)))
            << out.right(300).toStdString();
        (void)QTest::qWaitFor(
            [&] {
                out += QString::fromUtf8(monitor->readAllStandardOutput());
                return out.count(QLatin1String("\"DiveResult\"")) >= c.dives;
            },
            5000);
        EXPECT_EQ(out.count(QLatin1String("\"DiveResult\"")), c.dives);
        monitor->kill();
        monitor->waitForFinished();
        const QString played = player.stop();
        EXPECT_TRUE(c.timeOf || played.contains(QStringLiteral("replayed ")))
            << played.toStdString();
    }
}
