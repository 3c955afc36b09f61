// kavvix serve end to end, on SQLite and on PostgreSQL: judged dives sent by the console
// simulator over a pseudo-terminal reach the API, the /live feed and the table field for field,
// a correction once; a frame that fails its checks is announced and counted, never stored; jobs
// take the line one at a time and give it back; after the meet the results are served without a
// console line.
#include "ServiceHarness.h"

#include <kavvix/simulator/SampleMeet.h>

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

const QString Meet = QString(Kavvix::SampleMeet::MeetID);
const QString Event = QString(Kavvix::SampleMeet::Event12Divers);
const QString Results = QStringLiteral("/api/events/") + Event + QStringLiteral("/results");

// Every field of a dive as the console sent it, against a dive of the API or the feed.
void expectSameDive(const Kavvix::cDiveResult &sent, const QJsonObject &got) {
    SCOPED_TRACE(QJsonDocument(got).toJson(QJsonDocument::Compact).toStdString());
    const QMetaObject &fields = Kavvix::cDiveResult::staticMetaObject;
    for (int i = fields.propertyOffset(); i < fields.propertyCount(); ++i) {
        const char *name = fields.property(i).name();
        const QVariant value = sent.property(name);
        if (value.typeId() == QMetaType::QString)
            EXPECT_EQ(got[name].toString().trimmed(), value.toString().trimmed()) << name;
        else
            EXPECT_NEAR(got[name].toDouble(), value.toDouble(), 0.005) << name;
    }
    EXPECT_EQ(got["meetId"].toString(), Meet);
    EXPECT_EQ(got["eventId"].toString(), Event);
    EXPECT_TRUE(got["receivedAt"].toString().endsWith(u'Z'));
}

class Serve : public ::testing::TestWithParam<const char *> {};

INSTANTIATE_TEST_SUITE_P(Db, Serve, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto &info) { return info.param; });

} // namespace

TEST_P(Serve, AMeetThroughOneService) {
    MeetDb db(QString::fromLatin1(GetParam()), QStringLiteral("serve_e2e"));
    if (!db.skipReason().isEmpty())
        KAVVIX_WITHOUT_POSTGRES(db.skipReason().toStdString());
    QTemporaryDir dir;
    ConsoleSimulator simulator;
    const QStringList stored = {"--db", db.location(), "--meet", Meet, "--event", Event};
    ServiceProcess service(stored + QStringList{"--device", simulator.slavePath(), "--journal",
                                                dir.filePath(QStringLiteral("journal"))});
    ASSERT_TRUE(service.started()) << service.log().toStdString();
    FeedClient feed(service.port());
    const auto line = [&service] { // the console line's state
        return service.request("GET", "/api/meet").object()["console"].toObject();
    };

    for (int n = 1; n <= 4; ++n)
        sendDive(simulator, n);
    const QList<QJsonObject> announced = feed.waitFor(QStringLiteral("dive"), 4);
    ASSERT_EQ(announced.size(), 4) << service.log().toStdString();
    const QJsonArray results = service.request("GET", Results).array();
    ASSERT_EQ(results.size(), 4);
    for (int i = 0; i < 4; ++i) {
        expectSameDive(*judgedDive(i + 1), announced[i]["dive"].toObject());
        expectSameDive(*judgedDive(i + 1), results[i].toObject());
        EXPECT_EQ(results[i]["regId"].toVariant().toInt(), 100 + i); // from the dive sheets
    }

    // A corrected score raises the revision; the same dive again changes nothing.
    const auto corrected = judgedDive(2, 500.0f);
    corrected->setJ1Score(9.0f);
    simulator.sendDiveResult(*corrected);
    simulator.sendDiveResult(*corrected);
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 6).size(), 6);
    const QJsonArray after = service.request("GET", Results).array();
    ASSERT_EQ(after.size(), 4);
    expectSameDive(*corrected, after[1].toObject());
    EXPECT_EQ(after[1]["revision"].toInt(), 2);

    // A judged dive whose checksum is damaged is counted and announced, not stored.
    QByteArray frame = ConsoleSimulator::diveResultFrame(*judgedDive(9)).toLatin1();
    frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    simulator.sendRaw(frame);
    const auto errors = feed.waitFor(QStringLiteral("console-error"), 1);
    ASSERT_EQ(errors.size(), 1) << service.log().toStdString();
    EXPECT_TRUE(errors[0]["text"].toString().contains(QStringLiteral("checksum")));
    EXPECT_EQ(errors[0]["frame"].toString().toLatin1(), frame);
    EXPECT_EQ(line()["rejectedFrames"].toInt(), 1);
    EXPECT_TRUE(
        service.request("GET", "/metrics").raw.contains("\nkavvix_rejected_frames_total 1\n"));
    EXPECT_EQ(service.request("GET", Results).array(), after);

    // One job at a time: frame 1 was the service's own version request; the connection test's
    // (frame 2) goes unanswered, so the test still runs when the upload is asked for.
    simulator.planAnswer(2, ConsoleSimulator::Answer::Silent);
    EXPECT_EQ(service.request("POST", "/api/connection-test").status, 202);
    EXPECT_EQ(service.request("POST", "/api/events/E10/upload", R"({"order":"B"})").status, 409);
    auto finished = feed.waitFor(QStringLiteral("finished"), 1);
    ASSERT_EQ(finished.size(), 1) << service.log().toStdString();
    EXPECT_EQ(finished[0]["result"].toString(), QStringLiteral("no-answer"));
    ASSERT_EQ(service.request("POST", "/api/events/E10/upload", R"({"order":"B"})").status, 202);
    finished = feed.waitFor(QStringLiteral("finished"), 2, 30000);
    ASSERT_EQ(finished.size(), 2) << service.log().toStdString();
    EXPECT_EQ(finished[1]["result"].toString(), QStringLiteral("sent"));
    EXPECT_TRUE(simulator.uploadFrames().first().mid(10, 3) == QLatin1String("302"));

    // The uploaded event is current, and the line is back with the receiver.
    EXPECT_EQ(service.request("GET", "/api/meet").object()["currentEvent"].toString(),
              QStringLiteral("E10"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return line()["open"].toBool(); }, 5000));
    sendDive(simulator, 1);
    const auto dives = feed.waitFor(QStringLiteral("dive"), 7);
    ASSERT_EQ(dives.size(), 7) << service.log().toStdString();
    EXPECT_EQ(dives[6]["dive"].toObject()["eventId"].toString(), QStringLiteral("E10"));

    // An event that fails its checks: the feed says who is at fault beside the lines.
    ASSERT_EQ(service.request("POST", "/api/events/EDD/upload").status, 202);
    finished = feed.waitFor(QStringLiteral("finished"), 3);
    ASSERT_EQ(finished.size(), 3) << service.log().toStdString();
    const char *documented = R"({"type": "finished", "job": "upload", "result": "validation-failed",
        "detail": "DD zero or missing: diving order 3 (RegID 902) round 3",
        "validation": [{"check": "zero-dd", "line": "-- DDs of zero found for some dives",
            "fatal": true, "text": "DD zero or missing: diving order 3 (RegID 902) round 3",
            "dives": [{"regId": "902", "divingOrder": 3, "round": 3}], "diveCount": 1}]})";
    EXPECT_EQ(finished[2], QJsonDocument::fromJson(documented).object());
    EXPECT_EQ(service.stop(), 0);

    // After the meet: the stored results without a console line; jobs are refused.
    ServiceProcess afterwards(stored + QStringList{"--no-console"});
    ASSERT_TRUE(afterwards.started()) << afterwards.log().toStdString();
    EXPECT_TRUE(afterwards.log().contains(QStringLiteral("without a console")));
    EXPECT_EQ(afterwards.request("GET", Results).array(), after);
    const HttpReply refused = afterwards.request("POST", "/api/connection-test");
    EXPECT_EQ(refused.status, 409);
    EXPECT_TRUE(refused.object()["error"].toString().contains(QStringLiteral("--no-console")));
}
