#include "TestPostgres.h"
#include "upload/EventValidator.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace Kavvix;
using KavvixTest::PrivateCluster;
namespace Sample = Kavvix::SampleMeet;

namespace {

constexpr int HangBoundMs = 15000; // far above the time-outs used, far below "forever"
const QString CheckFailed = QStringLiteral("-- Unable to check the event, database error: ");

QStringList validate(const QSqlDatabase &db) {
    QStringList lines;
    ValidateEvent(Sample::MeetID, Sample::Event12Divers, db,
                  [&](const QString &line, bool) { lines << line; });
    return lines;
}

// The sample meet on a cluster of the test's own; skipped without PostgreSQL.
class ServerFault : public ::testing::Test {
protected:
    void SetUp() override {
        if (!KavvixTest::PgServer::fromEnvironment().isSet())
            KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
        cluster = std::make_unique<PrivateCluster>();
        ASSERT_TRUE(cluster->started());
        Sample::write(createMeetDatabase(meetUrl(), QStringLiteral("setup")));
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    }
    void TearDown() override {
        cluster.reset();
        for (const char *name : {"meet", "second"})
            QSqlDatabase::removeDatabase(QLatin1String(name));
    }
    QString meetUrl() const {
        return cluster->url(QStringLiteral("postgres"),
                            QStringLiteral("&connect_timeout=2&statement_timeout=500"));
    }

    std::unique_ptr<PrivateCluster> cluster;
};

// A server that stops answering ends the wait after the time-outs: a statement on an open
// connection, and a new connection.
TEST_F(ServerFault, StoppedServerEndsTheWaitWithOneLine) {
    const QSqlDatabase db = openMeetDatabase(meetUrl(), QStringLiteral("meet"));
    cluster->pause(2 * HangBoundMs);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(validate(db), (QStringList{"Validating the event ...",
                                         CheckFailed + "the database server did not answer "
                                                       "within 500 ms",
                                         ">> Process Aborted <<"}));
    try {
        openMeetDatabase(meetUrl(), QStringLiteral("second"));
        ADD_FAILURE() << "connected to a stopped server";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(QLatin1String("timeout expired"))) << e.description();
        EXPECT_FALSE(e.description().contains(QLatin1Char('\n')));
    }
    EXPECT_LT(clock.elapsed(), HangBoundMs);
    cluster->resume();
}

// The server shut down while a record set is open: the driver closes the connection when
// freeing it fails, and the next query names the lost connection, not one never opened.
TEST_F(ServerFault, ServerShutDownUnderAnOpenRecordSetIsNamed) {
    const QSqlDatabase db = openMeetDatabase(meetUrl(), QStringLiteral("meet"));
    auto events = modKavvix::GetMeetEvents(Sample::MeetID, db);
    ASSERT_NE(events, nullptr);
    cluster->shutDown();
    events.reset();
    EXPECT_EQ(validate(db)[1], CheckFailed + "the database connection is closed or was lost "
                                             "(has the server shut down?)");
}

} // namespace
