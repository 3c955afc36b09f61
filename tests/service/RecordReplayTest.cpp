// A meet recorded by kavvix serve --record and played back by kavvix simulate --replay gives
// the same dives again.
#include "../apps/CliRunner.h"
#include "SentDive.h"
#include "ServiceHarness.h"
#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/service/Recording.h>

#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;

namespace {

QJsonArray withoutArrival(QJsonArray dives) {
    for (qsizetype i = 0; i < dives.size(); ++i) {
        QJsonObject dive = dives[i].toObject();
        dive.remove(QStringLiteral("receivedAt"));
        dives[i] = dive;
    }
    return dives;
}

} // namespace

TEST(ServeRecording, ReplayedRecordingGivesTheSameDives) {
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("meet.rec"));
    MeetDb recordedDb(QStringLiteral("SQLite"), QStringLiteral("recorded"));
    QJsonArray recorded;
    {
        ConsoleSimulator simulator;
        ServiceProcess service({"--db", recordedDb.location(), "--meet", "RIV26", "--event", "E12",
                                "--device", simulator.slavePath(), "--record", recording,
                                "--journal", dir.filePath(QStringLiteral("j1"))});
        ASSERT_TRUE(service.started()) << service.log().toStdString();
        FeedClient feed(service.port());
        for (int order = 1; order <= 5; ++order) {
            SentDive dive;
            dive.divingOrder = qint16(order);
            dive.judges = {5.5f, 6.0f, float(order), 0, 0, 0, 0, 0, 0};
            dive.totalScore = 30.5f * float(order);
            sendDive(simulator, dive);
        }
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 5).size(), 5);
        recorded = service.request("GET", QStringLiteral("/api/events/E12/results")).array();
        EXPECT_EQ(service.stop(), 0);
    }
    QList<Kavvix::Recording::Byte> bytes;
    QString problem;
    ASSERT_TRUE(Kavvix::Recording::read(recording, bytes, problem)) << problem.toStdString();
    ASSERT_GT(bytes.size(), 5 * 80);
    EXPECT_TRUE(std::is_sorted(bytes.begin(), bytes.end(),
                               [](const auto &a, const auto &b) { return a.atUs < b.atUs; }));

    SimulatorProcess player({"--replay", recording, "--speed", "0"});
    ASSERT_TRUE(player.started());
    MeetDb replayedDb(QStringLiteral("SQLite"), QStringLiteral("replayed"));
    ServiceProcess service({"--db", replayedDb.location(), "--meet", "RIV26", "--event", "E12",
                            "--device", player.environment().value(QStringLiteral("KAVVIX_COM3")),
                            "--journal", dir.filePath(QStringLiteral("j2"))});
    ASSERT_TRUE(service.started()) << service.log().toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return service.request("GET", QStringLiteral("/api/events/E12/results"))
                       .array()
                       .size() == 5;
        },
        10000));
    EXPECT_EQ(
        withoutArrival(service.request("GET", QStringLiteral("/api/events/E12/results")).array()),
        withoutArrival(recorded));
    EXPECT_TRUE(player.stop().contains(QStringLiteral("replayed ")));
}

// Recordings the player must get through whole: more than the line's queue due at once, a
// time far ahead of the rest (a corrupt record), times going backwards.
TEST(ServeRecording, ReplayDeliversEveryDiveOfADifficultRecording) {
    const struct {
        const char *name;
        int dives;
        const char *speed;
        qint64 (*timeOf)(qsizetype byte);
    } cases[] = {
        {"800 dives at once", 800, "0", [](qsizetype byte) { return qint64(byte); }},
        {"a time 35 years ahead", 40, "100",
         [](qsizetype byte) { return byte == 1000 ? qint64(1) << 50 : qint64(byte) * 20; }},
        {"times going backwards", 40, "1",
         [](qsizetype byte) { return (qint64(1) << 40) - qint64(byte) * 20; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("meet.rec"));
        {
            Kavvix::Recording::Writer writer;
            ASSERT_TRUE(writer.open(path));
            qsizetype byte = 0;
            for (int i = 0; i < c.dives; ++i) {
                SentDive dive;
                dive.round = qint16(i / 12 + 1);
                dive.divingOrder = qint16(i % 12 + 1);
                for (char value : ConsoleSimulator::diveResultFrame(*toRecord(dive)).toLatin1())
                    writer.append(value, 1'000'000'000 + c.timeOf(byte++));
            }
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
    }
}
