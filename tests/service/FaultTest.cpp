// The database holding the service up, while it runs and as it starts: every dive stored exactly
// once and the service answering throughout. The two-minute soak (scripts/soak.sh) repeats
// such faults at random beside a kill and a hang-up of the line, and counts every stall.
#include "ServiceHarness.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTimer>

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

// kavvix serve on event E12 of the database, with the simulator and a journal in dir.
QStringList onE12(const MeetDb &db, const ConsoleSimulator &simulator, const QTemporaryDir &dir) {
    const QString journal = dir.filePath(QStringLiteral("journal"));
    return {"--db",     db.location(),         "--meet",    "RIV26", "--event", "E12",
            "--device", simulator.slavePath(), "--journal", journal};
}

} // namespace

// A database that holds every statement up (a file another program keeps locked, a server whose
// processes are stopped, with statements allowed 30 s) holds up nothing else: while it lasts,
// each dive is announced within a second, /api/meet answers, the results and an upload say 503,
// and SIGTERM stops the service. Every dive is stored once when the database is back.
TEST(ServeFaults, DatabaseHoldingUpStatementsHoldsUpNothingElse) {
    for (const bool postgres : {false, true}) {
        SCOPED_TRACE(postgres ? "PostgreSQL, stopped" : "SQLite, locked");
        if (postgres && !PgServer::fromEnvironment().isSet())
            KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
        std::unique_ptr<PrivateCluster> cluster;
        if (postgres) {
            cluster = std::make_unique<PrivateCluster>();
            ASSERT_TRUE(cluster->started());
        }
        MeetDb db(postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"),
                  QStringLiteral("hold_up"),
                  postgres ? cluster->server() : PgServer::fromEnvironment());
        ASSERT_TRUE(db.skipReason().isEmpty()) << db.skipReason().toStdString();
        QSqlQuery lock(db.connection());
        QTemporaryDir dir;
        ConsoleSimulator simulator;
        QStringList arguments = onE12(db, simulator, dir);
        if (postgres)
            arguments[1] += QStringLiteral("&statement_timeout=30000");
        auto service = std::make_unique<ServiceProcess>(arguments);
        ASSERT_TRUE(service->started()) << service->log().toStdString();
        FeedClient feed(service->port());
        sendDive(simulator, 1);
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);

        if (postgres)
            cluster->pause(60000);
        else
            ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        for (int order = 2; order <= 3; ++order) {
            sendDive(simulator, order);
            EXPECT_EQ(feed.waitFor(QStringLiteral("dive"), order, 1000).size(), order);
        }
        QElapsedTimer asked;
        asked.start();
        EXPECT_EQ(service->request("GET", "/api/meet").status, 200);
        EXPECT_EQ(service->request("GET", "/api/events/E12/results").status, 503);
        // An upload would read the dive sheets on the service's own thread: refused instead.
        EXPECT_EQ(service->request("POST", "/api/events/E12/upload", R"({"order":"A"})").status,
                  503);
        EXPECT_LT(asked.elapsed(), 3000);
        EXPECT_EQ(service->stop(), 0) << service->log().toStdString();
        if (postgres)
            cluster->resume();
        else
            ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));

        service = std::make_unique<ServiceProcess>(arguments);
        ASSERT_TRUE(service->started()) << service->log().toStdString();
        QList<int> orders;
        for (const QJsonValue &row : service->request("GET", "/api/events/E12/results").array())
            orders << row.toObject()["DivingOrder"].toInt();
        EXPECT_EQ(orders, (QList<int>{1, 2, 3}));
    }
}

// A service (re)started while another program holds the file locked waits for the lock and
// starts, whether the file is locked for reading or only for writing a missing results table.
TEST(ServeFaults, StartsWhileTheSqliteFileIsLocked) {
    for (const char *kind : {"EXCLUSIVE", "IMMEDIATE"}) {
        SCOPED_TRACE(kind);
        MeetDb db(QStringLiteral("SQLite"), QStringLiteral("locked_at_start"));
        QTemporaryDir dir;
        ConsoleSimulator simulator;
        QSqlQuery lock(db.connection());
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN %1").arg(QLatin1String(kind))));
        QObject lockHolder;
        QTimer::singleShot(2000, &lockHolder, [&] { lock.exec(QStringLiteral("ROLLBACK")); });
        ServiceProcess service(onE12(db, simulator, dir));
        ASSERT_TRUE(service.started()) << service.log().toStdString();
        sendDive(simulator, 1);
        EXPECT_TRUE(service.waitForLog(QStringLiteral("round 1 order 1: stored")));
    }
}
