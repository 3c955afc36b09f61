// kavvix simulate --replay plays a recording back whole, dive for dive: the one kavvix serve
// --record made of a meet, and recordings hard on the player: more than the line's queue due at
// once, a time far ahead of the rest (a corrupt record), times going backwards.
#include "../apps/CliRunner.h"
#include "ServiceHarness.h"

#include <kavvix/service/Recording.h>

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

// A recording of dives round by round, twelve a round, each byte at the time timeOf gives it.
void writeRecording(const QString &path, int dives, qint64 (*timeOf)(qsizetype byte)) {
    Kavvix::Recording::Writer writer;
    ASSERT_TRUE(writer.open(path));
    qsizetype byte = 0;
    for (int n = 1; n <= dives; ++n)
        for (char value : ConsoleSimulator::diveResultFrame(*judgedDive(n)).toLatin1())
            writer.append(value, 1'000'000'000 + timeOf(byte++));
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
        for (int order = 1; order <= 5; ++order)
            sendDive(simulator, order);
        ASSERT_TRUE(service.waitForLog(QStringLiteral("round 1 order 5: stored")));
        EXPECT_EQ(service.stop(), 0);
    }

    // what, dives, speed and the time of each byte (none: the recording kavvix serve made)
    const std::tuple<const char *, int, const char *, qint64 (*)(qsizetype)> cases[] = {
        {"recorded by kavvix serve", 5, "0", nullptr},
        {"800 dives at once", 800, "0", [](qsizetype byte) { return qint64(byte); }},
        {"a time 35 years ahead", 40, "100",
         [](qsizetype byte) { return byte == 1000 ? qint64(1) << 50 : qint64(byte) * 20; }},
        {"times going backwards", 40, "1",
         [](qsizetype byte) { return (qint64(1) << 40) - qint64(byte) * 20; }},
    };
    for (const auto &[name, dives, speed, timeOf] : cases) {
        SCOPED_TRACE(name);
        const QString path = timeOf ? dir.filePath(QLatin1String(name)) : served;
        if (timeOf)
            writeRecording(path, dives, timeOf);
        SimulatorProcess player({"--replay", path, "--speed", speed});
        ASSERT_TRUE(player.started());
        auto monitor = startCli({"monitor", "--port", "3", "--json", "--request-version"},
                                player.environment());
        QString out;
        const auto played = [&] {
            out += QString::fromUtf8(monitor->readAllStandardOutput());
            return out.count(QLatin1String("\"DiveResult\""));
        };
        (void)QTest::qWaitFor([&] { return played() >= dives; }, 30000);
        EXPECT_EQ(played(), dives) << out.right(300).toStdString();
        monitor->kill();
        monitor->waitForFinished();
        const QString said = player.stop();
        EXPECT_TRUE(timeOf || said.contains(QStringLiteral("replayed "))) << said.toStdString();
    }
}
