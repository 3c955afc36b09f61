// kavvix serve end to end, on SQLite and on PostgreSQL: judged dives sent by the console
// simulator over a pseudo-terminal reach the API, the /live feed and the table field for field,
// a correction once; a frame that fails its checks is announced and counted, never stored; jobs
// take the line one at a time and give it back; after the meet the results are served without a
// console line.
#include "SentDive.h"
#include "ServiceHarness.h"
#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QJsonDocument>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;

namespace {

const QString Meet = QString(Kavvix::SampleMeet::MeetID);
const QString Event = QString(Kavvix::SampleMeet::Event12Divers);
const QString Results = QStringLiteral("/api/events/") + Event + QStringLiteral("/results");

SentDive sentDive(int round, int order, float base) {
    SentDive dive;
    dive.eventNumber = 7;
    dive.eventLetter = QLatin1Char('B');
    dive.round = qint16(round);
    dive.divingOrder = qint16(order);
    dive.diveNumber = QStringLiteral("%1").arg(101 + order);
    dive.position = QLatin1Char('C');
    dive.dd = 1.5f + 0.1f * float(order);
    dive.judges = {base, base + 0.5f, base, base - 0.5f, base, 0, 0, 0, 0};
    dive.diveTotal = base * 3 * dive.dd;
    dive.totalScore = dive.diveTotal * float(round) + float(order);
    return dive;
}

// The fields of a dive as sent, against a dive of the API or the feed.
void expectSameDive(const SentDive &sent, const QJsonObject &got) {
    SCOPED_TRACE(QJsonDocument(got).toJson(QJsonDocument::Compact).toStdString());
    EXPECT_EQ(got["EventNumberN"].toInt(), sent.eventNumber);
    EXPECT_EQ(got["EventNumberA"].toString().trimmed(), QString(sent.eventLetter));
    EXPECT_EQ(got["DiveRound"].toInt(), sent.round);
    EXPECT_EQ(got["DivingOrder"].toInt(), sent.divingOrder);
    EXPECT_EQ(got["DiveNumber"].toString().trimmed(), sent.diveNumber);
    EXPECT_EQ(got["DivePos"].toString().trimmed(), QString(sent.position));
    EXPECT_NEAR(got["DiveDD"].toDouble(), sent.dd, 0.005);
    for (int j = 0; j < 9; ++j)
        EXPECT_NEAR(got[QStringLiteral("J%1Score").arg(j + 1)].toDouble(), sent.judges[j], 0.005);
    EXPECT_NEAR(got["DiveTotal"].toDouble(), sent.diveTotal, 0.005);
    EXPECT_NEAR(got["TotalScore"].toDouble(), sent.totalScore, 0.005);
    EXPECT_EQ(got["meetId"].toString(), Meet);
    EXPECT_EQ(got["eventId"].toString(), Event);
    EXPECT_TRUE(got["receivedAt"].toString().endsWith(u'Z'));
}

int storedRows(const MeetDb &db) {
    QSqlQuery query(db.connection());
    query.exec(QStringLiteral("SELECT COUNT(*) FROM kavvix_dive_results"));
    return query.next() ? query.value(0).toInt() : -1;
}

class Serve : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        if (!m_db.skipReason().isEmpty())
            KAVVIX_WITHOUT_POSTGRES(m_db.skipReason().toStdString());
    }

    MeetDb m_db{QString::fromLatin1(GetParam()), QStringLiteral("serve_e2e")};
    QTemporaryDir m_dir;
    ConsoleSimulator m_simulator;
};

INSTANTIATE_TEST_SUITE_P(Db, Serve, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto &info) { return info.param; });

} // namespace

TEST_P(Serve, AMeetThroughOneService) {
    const QStringList stored = {"--db", m_db.location(), "--meet", Meet, "--event", Event};
    ServiceProcess service(stored + QStringList{"--device", m_simulator.slavePath(), "--journal",
                                                m_dir.filePath(QStringLiteral("journal"))});
    ASSERT_TRUE(service.started()) << service.log().toStdString();
    FeedClient feed(service.port());
    ASSERT_TRUE(feed.connected());

    QList<SentDive> sent;
    for (int order = 1; order <= 4; ++order)
        sent.append(sentDive(1, order, 6.0f + 0.5f * float(order % 3)));
    for (const auto &dive : sent)
        sendDive(m_simulator, dive);
    const QList<QJsonObject> announced = feed.waitFor(QStringLiteral("dive"), 4);
    ASSERT_EQ(announced.size(), 4) << service.log().toStdString();
    const QJsonArray results = service.request("GET", Results).array();
    ASSERT_EQ(results.size(), 4);
    for (int i = 0; i < 4; ++i) {
        expectSameDive(sent[i], announced[i]["dive"].toObject());
        expectSameDive(sent[i], results[i].toObject());
        EXPECT_EQ(results[i].toObject()["revision"].toInt(), 1);
        EXPECT_FALSE(results[i].toObject()["regId"].isNull());
        EXPECT_EQ(results[i].toObject()["regId"], announced[i]["dive"].toObject()["regId"]);
    }

    // A corrected score raises the revision; the same dive again changes nothing.
    SentDive corrected = sent[1];
    corrected.judges[0] = 9.0f;
    corrected.totalScore = 500.0f;
    sendDive(m_simulator, corrected);
    sendDive(m_simulator, corrected);
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 6).size(), 6);
    const QJsonArray after = service.request("GET", Results).array();
    ASSERT_EQ(after.size(), 4);
    expectSameDive(corrected, after[1].toObject());
    EXPECT_EQ(after[1].toObject()["revision"].toInt(), 2);
    EXPECT_EQ(storedRows(m_db), 4);

    // A judged dive whose checksum is damaged is counted and announced, not stored.
    Kavvix::cDiveResult damaged;
    damaged.setDiveRound(1);
    damaged.setDivingOrder(9);
    QByteArray frame = ConsoleSimulator::diveResultFrame(damaged).toLatin1();
    frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    m_simulator.sendRaw(frame);
    const auto errors = feed.waitFor(QStringLiteral("console-error"), 1);
    ASSERT_EQ(errors.size(), 1) << service.log().toStdString();
    EXPECT_TRUE(errors[0]["text"].toString().contains(QStringLiteral("checksum")));
    EXPECT_EQ(errors[0]["frame"].toString().toLatin1(), frame);
    const QJsonObject console = service.request("GET", "/api/meet").object()["console"].toObject();
    EXPECT_EQ(console["rejectedFrames"].toInt(), 1);
    EXPECT_TRUE(
        service.request("GET", "/metrics").raw.contains("\nkavvix_rejected_frames_total 1\n"));
    EXPECT_EQ(storedRows(m_db), 4);

    // One job at a time: frame 1 was the service's own version request; the connection test's
    // (frame 2) goes unanswered, so the test still runs when the upload is asked for.
    m_simulator.planAnswer(2, ConsoleSimulator::Answer::Silent);
    EXPECT_EQ(service.request("POST", "/api/connection-test").status, 202);
    EXPECT_EQ(service.request("POST", "/api/events/E10/upload", R"({"order":"B"})").status, 409);
    auto finished = feed.waitFor(QStringLiteral("finished"), 1);
    ASSERT_EQ(finished.size(), 1) << service.log().toStdString();
    EXPECT_EQ(finished[0]["job"].toString(), QStringLiteral("test"));
    EXPECT_EQ(finished[0]["result"].toString(), QStringLiteral("no-answer"));
    ASSERT_EQ(service.request("POST", "/api/events/E10/upload", R"({"order":"B"})").status, 202);
    finished = feed.waitFor(QStringLiteral("finished"), 2, 30000);
    ASSERT_EQ(finished.size(), 2) << service.log().toStdString();
    EXPECT_EQ(finished[1]["result"].toString(), QStringLiteral("sent"));
    EXPECT_TRUE(m_simulator.uploadFrames().first().mid(10, 3) == QLatin1String("302"));

    // The uploaded event is current, and the line is back with the receiver.
    EXPECT_EQ(service.request("GET", "/api/meet").object()["currentEvent"].toString(),
              QStringLiteral("E10"));
    ASSERT_TRUE(service.waitForConsoleOpen(5000));
    sendDive(m_simulator, sentDive(1, 1, 7.0f));
    const auto dives = feed.waitFor(QStringLiteral("dive"), 7);
    ASSERT_EQ(dives.size(), 7) << service.log().toStdString();
    EXPECT_EQ(dives[6]["dive"].toObject()["eventId"].toString(), QStringLiteral("E10"));

    // An event that fails its checks: the feed says who is at fault beside the lines.
    ASSERT_EQ(service.request("POST", "/api/events/EDD/upload").status, 202);
    finished = feed.waitFor(QStringLiteral("finished"), 3);
    ASSERT_EQ(finished.size(), 3) << service.log().toStdString();
    EXPECT_EQ(finished[2]["result"].toString(), QStringLiteral("validation-failed"));
    const QJsonArray problems = finished[2]["validation"].toArray();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0]["check"].toString(), QStringLiteral("zero-dd"));
    EXPECT_EQ(problems[0]["line"].toString(),
              QStringLiteral("-- DDs of zero found for some dives"));
    EXPECT_EQ(problems[0]["dives"].toArray(),
              (QJsonArray{QJsonObject{{"regId", "902"}, {"divingOrder", 3}, {"round", 3}}}));
    EXPECT_EQ(finished[2]["detail"].toString(), problems[0]["text"].toString());
    EXPECT_EQ(service.stop(), 0);
    EXPECT_TRUE(service.log().contains(QStringLiteral("stopped")));

    // After the meet: the stored results without a console line; jobs are refused.
    ServiceProcess afterwards(stored + QStringList{"--no-console"});
    ASSERT_TRUE(afterwards.started()) << afterwards.log().toStdString();
    EXPECT_TRUE(afterwards.log().contains(QStringLiteral("without a console")));
    EXPECT_EQ(afterwards.request("GET", Results).array(), after);
    const QJsonObject none = afterwards.request("GET", "/api/meet").object()["console"].toObject();
    EXPECT_TRUE(none["port"].isNull());
    EXPECT_FALSE(none["open"].toBool());
    const HttpReply refused = afterwards.request("POST", "/api/connection-test");
    EXPECT_EQ(refused.status, 409);
    EXPECT_TRUE(refused.object()["error"].toString().contains(QStringLiteral("--no-console")));
}
