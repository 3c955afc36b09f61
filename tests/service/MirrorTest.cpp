// Mirrors and several consoles on one PostgreSQL meet database: a mirror pushes every dive a
// console's service stores exactly once, whether the server restarts (which cuts every
// connection) or it starts late; two consoles file under their own events; a mirror changes
// nothing.
#include "ServiceHarness.h"

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

QStringList console(const MeetDb &db, const QString &name, const QString &event,
                    const ConsoleSimulator &simulator, const QTemporaryDir &dir) {
    return {"--db",      db.location(),     "--meet", "RIV26",    "--name",
            name,        "--event",         event,    "--device", simulator.slavePath(),
            "--journal", dir.filePath(name)};
}

QStringList mirror(const MeetDb &db) {
    return {"--db", db.location(), "--meet", "RIV26", "--mirror"};
}

// Event and diving order of each dive message received.
QStringList announced(FeedClient &feed, int count, int timeoutMs = 15000) {
    QStringList dives;
    for (const QJsonObject &message : feed.waitFor(QStringLiteral("dive"), count, timeoutMs))
        dives << QStringLiteral("%1/%2")
                     .arg(message["dive"].toObject()["eventId"].toString())
                     .arg(message["dive"].toObject()["DivingOrder"].toInt());
    return dives;
}

} // namespace

TEST(Mirror, PushesEachDiveOnceThroughLateStartAndServerRestart) {
    if (!PgServer::fromEnvironment().isSet())
        KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
    PrivateCluster cluster;
    ASSERT_TRUE(cluster.started());
    QTemporaryDir dir;
    MeetDb db(QStringLiteral("PostgreSQL"), QStringLiteral("mirror_once"), cluster.server());
    ASSERT_TRUE(db.skipReason().isEmpty()) << db.skipReason().toStdString();
    db.connection().close();
    ConsoleSimulator simulator;
    ServiceProcess owner(console(db, "3m", "E12", simulator, dir));
    ASSERT_TRUE(owner.started()) << owner.log().toStdString();
    FeedClient ownerFeed(owner.port());

    // Stored before the mirror started: on its pages already, never announced.
    sendDive(simulator, 1);
    ASSERT_EQ(ownerFeed.waitFor(QStringLiteral("dive"), 1).size(), 1);
    ServiceProcess late(mirror(db));
    ASSERT_TRUE(late.started()) << late.log().toStdString();
    FeedClient feed(late.port());

    sendDive(simulator, 2);
    const QList<QJsonObject> first = feed.waitFor(QStringLiteral("dive"), 1);
    ASSERT_EQ(first.size(), 1) << late.log().toStdString();
    EXPECT_EQ(first[0]["standings"].toArray().size(), 2);

    // The owner's overlay and job messages reach the mirror's clients.
    ASSERT_EQ(owner.request("PUT", "/api/overlay", R"({"show":"standings"})").status, 200);
    const QList<QJsonObject> overlay = feed.waitFor(QStringLiteral("overlay"), 1);
    ASSERT_EQ(overlay.size(), 1);
    EXPECT_EQ(overlay[0]["consoleName"].toString(), QStringLiteral("3m"));
    ASSERT_EQ(owner.request("POST", "/api/connection-test").status, 202);
    const QList<QJsonObject> finished = feed.waitFor(QStringLiteral("finished"), 1);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0]["job"].toString(), QStringLiteral("test"));
    EXPECT_EQ(finished[0]["result"].toString(), QStringLiteral("connected"));
    const QJsonObject meet = late.request("GET", "/api/meet").object();
    EXPECT_EQ(meet["overlay"].toString(), QStringLiteral("standings"));
    EXPECT_EQ(meet["currentEvent"].toString(), QStringLiteral("E12"));

    // The server restarts: the owner announces dive 3 from its journal, says the database is
    // away, and writes the dive when the server is back.
    ASSERT_TRUE(cluster.shutDown());
    sendDive(simulator, 3);
    const QList<QJsonObject> journaled = ownerFeed.waitFor(QStringLiteral("dive"), 3);
    ASSERT_EQ(journaled.size(), 3);
    EXPECT_TRUE(journaled[2]["dive"].toObject()["revision"].isNull());
    const HttpReply down = owner.request("GET", "/healthz");
    EXPECT_EQ(down.status, 503);
    EXPECT_TRUE(down.object()["error"].toString().startsWith(QStringLiteral("database: ")));
    const QByteArray metrics = owner.request("GET", "/metrics").raw;
    EXPECT_TRUE(metrics.contains("\nkavvix_dives_journaled_total 1\n")) << metrics.data();
    EXPECT_TRUE(metrics.contains("\nkavvix_journal_backlog 1\n")) << metrics.data();
    ASSERT_TRUE(cluster.startAgain());
    ASSERT_TRUE(owner.waitForLog(QStringLiteral("journal: 1 dives written")))
        << owner.log().toStdString();
    EXPECT_EQ(owner.request("GET", "/healthz").status, 200);
    ASSERT_TRUE(late.waitForLog(QStringLiteral("mirror: database connected again")))
        << late.log().toStdString();
    // The owner's first message after the restart is not lost on its dead connection.
    ASSERT_EQ(owner.request("PUT", "/api/overlay", R"({"show":"none"})").status, 200);
    EXPECT_EQ(feed.waitFor(QStringLiteral("overlay"), 2, 5000).size(), 2);
    sendDive(simulator, 4);
    EXPECT_EQ(announced(feed, 3), (QStringList{"E12/2", "E12/3", "E12/4"}))
        << late.log().toStdString();
    sendDive(simulator, 4, 90.0f); // a correction
    sendDive(simulator, 5);
    EXPECT_EQ(announced(feed, 5), (QStringList{"E12/2", "E12/3", "E12/4", "E12/4", "E12/5"}))
        << late.log().toStdString() << owner.log().toStdString();
    const QList<QJsonObject> dives = feed.waitFor(QStringLiteral("dive"), 6, 1000);
    ASSERT_EQ(dives.size(), 5);
    EXPECT_EQ(dives[3]["dive"].toObject()["revision"].toInt(), 2);

    // A mirror changes nothing.
    const std::tuple<const char *, const char *, const char *> writes[] = {
        {"POST", "/api/events/E12/upload", "{}"},
        {"POST", "/api/connection-test", "{}"},
        {"POST", "/api/job/cancel", "{}"},
        {"PUT", "/api/current-event", R"({"eventId":"E10"})"},
        {"PUT", "/api/overlay", R"({"show":"none"})"}};
    for (const auto &[verb, path, body] : writes) {
        const HttpReply reply = late.request(verb, QLatin1String(path), body);
        EXPECT_EQ(reply.status, 409) << path;
        EXPECT_TRUE(reply.object()["error"].toString().contains(QStringLiteral("mirror")));
    }
    const HttpReply health = late.request("GET", "/healthz");
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(health.object()["console"].toString(), QStringLiteral("none (mirror)"));
    EXPECT_EQ(late.stop(), 0);
}

TEST(Mirror, TwoConsolesFileUnderTheirOwnEventsAndBothAreListed) {
    MeetDb db(QStringLiteral("PostgreSQL"), QStringLiteral("two_consoles"));
    if (!db.skipReason().isEmpty())
        KAVVIX_WITHOUT_POSTGRES(db.skipReason().toStdString());
    QTemporaryDir dir;
    ConsoleSimulator oneMetre;
    ConsoleSimulator threeMetre;
    ServiceProcess first(console(db, "1m", "E10", oneMetre, dir));
    ServiceProcess second(console(db, "3m", "E12", threeMetre, dir));
    ASSERT_TRUE(first.started()) << first.log().toStdString();
    ASSERT_TRUE(second.started()) << second.log().toStdString();
    ServiceProcess view(mirror(db));
    ASSERT_TRUE(view.started()) << view.log().toStdString();
    FeedClient feed(view.port());

    sendDive(oneMetre, 1);
    ASSERT_EQ(announced(feed, 1), QStringList{"E10/1"});
    sendDive(threeMetre, 1);
    sendDive(oneMetre, 2);
    QStringList both = announced(feed, 3);
    both.sort(); // the two lines race
    EXPECT_EQ(both, (QStringList{"E10/1", "E10/2", "E12/1"}));

    for (ServiceProcess *service : {&first, &second, &view}) {
        const QJsonObject meet = service->request("GET", "/api/meet").object();
        QStringList consoles;
        for (const QJsonValue &row : meet["consoles"].toArray())
            consoles << row["name"].toString() + u' ' + row["currentEvent"].toString() +
                            (row["open"].toBool() && row["running"].toBool() ? " up" : " down");
        EXPECT_EQ(consoles, (QStringList{"1m E10 up", "3m E12 up"}));
        EXPECT_TRUE(meet["console"]["open"].toBool());
    }

    // One console's service stopping takes its line down on the mirror's pages.
    EXPECT_EQ(second.stop(), 0);
    const QList<QJsonObject> lines = feed.waitFor(QStringLiteral("console"), 1);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0]["consoleName"].toString(), QStringLiteral("3m"));
    EXPECT_FALSE(lines[0]["open"].toBool());
    const QJsonObject meet = view.request("GET", "/api/meet").object();
    EXPECT_FALSE(meet["console"]["open"].toBool());
    EXPECT_FALSE(meet["consoles"][1]["open"].toBool());
}
