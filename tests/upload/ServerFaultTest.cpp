#include "TestPostgres.h"
#include "upload/EventValidator.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace Kavvix;
namespace Sample = Kavvix::SampleMeet;

namespace {

constexpr int HangBoundMs = 15000; // far above the time-outs used, far below "forever"

QString checkOf(const QSqlDatabase &db) {
    QStringList lines;
    ValidateEvent(Sample::MeetID, Sample::Event12Divers, db,
                  [&](const QString &line, bool) { lines << line; });
    return lines.value(1);
}

// The sample meet on a cluster of the test's own. A server that stops answering ends the wait
// after the time-outs (a statement on an open connection, and a new connection); a server shut
// down under an open record set is named as lost, not as a connection never opened.
TEST(ServerFault, StoppedOrShutDownServerEndsTheCheckWithOneLine) {
    if (!KavvixTest::PgServer::fromEnvironment().isSet())
        KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
    KavvixTest::PrivateCluster cluster;
    ASSERT_TRUE(cluster.started());
    const QString url = cluster.server().url(
        QStringLiteral("postgres"), QStringLiteral("&connect_timeout=2&statement_timeout=500"));
    Sample::write(createMeetDatabase(url, QStringLiteral("meet")));
    const QString checkFailed = QStringLiteral("-- Unable to check the event, database error: ");

    cluster.pause(2 * HangBoundMs);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(checkOf(QSqlDatabase::database(QStringLiteral("meet"))),
              checkFailed + "the database server did not answer within 500 ms");
    try {
        openMeetDatabase(url, QStringLiteral("second"));
        ADD_FAILURE() << "connected to a stopped server";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("timeout expired"))) << e.description();
        EXPECT_FALSE(e.description().contains(QLatin1Char('\n')));
    }
    EXPECT_LT(clock.elapsed(), HangBoundMs);
    cluster.resume();

    {
        const QSqlDatabase db = openMeetDatabase(url, QStringLiteral("third"));
        auto events = modKavvix::GetMeetEvents(Sample::MeetID, db);
        ASSERT_NE(events, nullptr);
        ASSERT_TRUE(cluster.shutDown());
        events.reset();
        EXPECT_EQ(checkOf(db), checkFailed + "the database connection is closed or was lost "
                                             "(has the server shut down?)");
    }
    for (const char *name : {"meet", "second", "third"})
        QSqlDatabase::removeDatabase(QLatin1String(name));
}

} // namespace
