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
