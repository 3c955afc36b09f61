// Faults while the service runs: the database going away and coming back, a journal left by an
// earlier run with its last record cut short, the serial device vanishing and coming back.
// Each must end with every dive stored exactly once and the service still answering.
#include "SentDive.h"
#include "ServiceHarness.h"
#include "service/DiveJournal.h"
#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTimer>

#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;

namespace {

// kavvix serve on event E12 of the database, with the simulator and a journal in dir.
QStringList onE12(const MeetDb &db, const ConsoleSimulator &simulator, const QTemporaryDir &dir) {
    return {"--db",      db.location(),
            "--meet",    "RIV26",
            "--event",   "E12",
            "--device",  simulator.slavePath(),
            "--journal", dir.filePath(QStringLiteral("journal"))};
}

QList<int> divingOrders(ServiceProcess &service) {
    QList<int> orders;
    for (const QJsonValue &row : service.request("GET", "/api/events/E12/results").array())
        orders << row.toObject()["DivingOrder"].toInt();
    return orders;
}

} // namespace

// A cluster of the test's own, stopped and started again while dives arrive.
TEST(ServeFaults, PostgreSqlStoppedAndStartedMidStream) {
    if (!PgServer::fromEnvironment().isSet())
        KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
    PrivateCluster cluster;
    ASSERT_TRUE(cluster.started());
    QTemporaryDir dir;
    {
        MeetDb db(QStringLiteral("PostgreSQL"), QStringLiteral("pg_outage"), cluster.server());
        ASSERT_TRUE(db.skipReason().isEmpty()) << db.skipReason().toStdString();
        db.connection().close();
        ConsoleSimulator simulator;
        ServiceProcess service(onE12(db, simulator, dir));
        ASSERT_TRUE(service.started()) << service.log().toStdString();
        FeedClient feed(service.port());

        sendDive(simulator, plainDive(1));
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);
        ASSERT_TRUE(cluster.shutDown());
        sendDive(simulator, plainDive(2));
        sendDive(simulator, plainDive(3));
        // Announced from the journal while the database is away.
        const auto announced = feed.waitFor(QStringLiteral("dive"), 3);
        ASSERT_EQ(announced.size(), 3) << service.log().toStdString();
        EXPECT_TRUE(announced[2]["dive"].toObject()["revision"].isNull());
        EXPECT_EQ(service.request("GET", "/api/events/E12/results").status, 503);
        const HttpReply down = service.request("GET", "/healthz");
        EXPECT_EQ(down.status, 503);
        EXPECT_EQ(down.object()["console"].toString(), QStringLiteral("ok"));
        EXPECT_TRUE(down.object()["error"].toString().startsWith(QStringLiteral("database: ")))
            << down.object()["error"].toString().toStdString();
        const QByteArray metrics = service.request("GET", "/metrics").raw;
        EXPECT_TRUE(metrics.contains("\nkavvix_dives_journaled_total 2\n")) << metrics.data();
        EXPECT_TRUE(metrics.contains("\nkavvix_journal_backlog 2\n")) << metrics.data();
        ASSERT_TRUE(cluster.startAgain());
        ASSERT_TRUE(service.waitForLog(QStringLiteral("journal: 2 dives written")))
            << service.log().toStdString();
        EXPECT_TRUE(
            service.request("GET", "/metrics").raw.contains("\nkavvix_journal_backlog 0\n"));
        EXPECT_EQ(service.request("GET", "/healthz").status, 200);
        sendDive(simulator, plainDive(4));
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 4).size(), 4);
        EXPECT_EQ(divingOrders(service), (QList<int>{1, 2, 3, 4}));
        EXPECT_EQ(QFile(dir.filePath(QStringLiteral("journal"))).size(), 0);
        EXPECT_EQ(service.stop(), 0);
    }
}

// Another program holding the SQLite file locked: dives go to the journal at once and into
// the file when the lock is gone.
TEST(ServeFaults, SqliteFileLockedMidStream) {
    MeetDb db(QStringLiteral("SQLite"), QStringLiteral("locked"));
    QTemporaryDir dir;
    ConsoleSimulator simulator;
    ServiceProcess service(onE12(db, simulator, dir));
    ASSERT_TRUE(service.started()) << service.log().toStdString();
    FeedClient feed(service.port());
    sendDive(simulator, plainDive(1));
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);

    QSqlQuery lock(db.connection());
    ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    for (int order = 2; order <= 5; ++order)
        sendDive(simulator, plainDive(order));
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 5).size(), 5) << service.log().toStdString();
    ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return divingOrders(service) == QList<int>{1, 2, 3, 4, 5};
        },
        10000))
        << service.log().toStdString();
    // The first dive met the lock; the others went to the journal straight away.
    EXPECT_EQ(service.log().count(QLatin1String(": journaled")), 4) << service.log().toStdString();
}

// A database that holds every statement up (a file another program keeps locked, a server whose
// processes are stopped, with statements allowed 30 s) holds up nothing else: while it lasts,
// each dive is announced within a second, /api/meet answers within a second, the results say
// 503, and SIGTERM stops the service. Every dive is stored once when the database is back.
TEST(ServeFaults, DatabaseHoldingUpStatementsHoldsUpNothingElse) {
    const bool withPostgres = PgServer::fromEnvironment().isSet();
    for (const bool postgres : {false, true}) {
        SCOPED_TRACE(postgres ? "PostgreSQL, stopped" : "SQLite, locked");
        if (postgres && !withPostgres)
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
        const auto hold = [&] {
            if (postgres)
                cluster->pause(60000);
            else
                ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        };
        const auto release = [&] {
            if (postgres)
                cluster->resume();
            else
                ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
        };
        QTemporaryDir dir;
        ConsoleSimulator simulator;
        QStringList arguments = onE12(db, simulator, dir);
        if (postgres)
            arguments[1] += QStringLiteral("&statement_timeout=30000");
        auto service = std::make_unique<ServiceProcess>(arguments);
        ASSERT_TRUE(service->started()) << service->log().toStdString();
        FeedClient feed(service->port());
        sendDive(simulator, plainDive(1));
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);

        hold();
        for (int order = 2; order <= 3; ++order) {
            sendDive(simulator, plainDive(order));
            EXPECT_EQ(feed.waitFor(QStringLiteral("dive"), order, 1000).size(), order)
                << service->log().toStdString();
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
        release();

        service = std::make_unique<ServiceProcess>(arguments);
        ASSERT_TRUE(service->started()) << service->log().toStdString();
        EXPECT_EQ(divingOrders(*service), (QList<int>{1, 2, 3}));
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
        FeedClient feed(service.port());
        sendDive(simulator, plainDive(1));
        ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);
        EXPECT_EQ(divingOrders(service), (QList<int>{1}));
    }
}

// What an earlier run left in the journal is written before anything else, once; a record
// cut short by the crash is dropped.
TEST(ServeFaults, JournalFromAKilledRunIsReplayedOnStartExactlyOnce) {
    MeetDb db(QStringLiteral("SQLite"), QStringLiteral("replay"));
    QTemporaryDir dir;
    const QString journalPath = dir.filePath(QStringLiteral("journal"));
    {
        Kavvix::DiveJournal journal;
        ASSERT_TRUE(journal.open(journalPath));
        for (int order = 1; order <= 3; ++order) {
            Kavvix::cDiveResult result;
            result.setDivingOrder(qint16(order));
            result.setDiveRound(1);
            Kavvix::DiveRecord record = Kavvix::DiveRecord::fromResult(result);
            record.meetId = QStringLiteral("RIV26");
            record.eventId = QStringLiteral("E12");
            record.receivedAtMs = 1000 + order;
            ASSERT_TRUE(journal.append(record));
        }
    }
    QFile file(journalPath);
    file.resize(file.size() - 10);
    ConsoleSimulator simulator;
    const QStringList arguments = {"--db",     db.location(),         "--meet",    "RIV26",
                                   "--device", simulator.slavePath(), "--journal", journalPath};
    for (int run = 0; run < 2; ++run) {
        ServiceProcess service(arguments);
        ASSERT_TRUE(service.started()) << service.log().toStdString();
        EXPECT_EQ(divingOrders(service), (QList<int>{1, 2}));
        EXPECT_EQ(service.stop(), 0);
    }
}

// The device goes away (the console's end hangs up) and comes back at the same path.
TEST(ServeFaults, SerialDeviceVanishingAndComingBack) {
    MeetDb db(QStringLiteral("SQLite"), QStringLiteral("vanish"));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("console"));
    auto simulator = std::make_unique<ConsoleSimulator>();
    ASSERT_TRUE(QFile::link(simulator->slavePath(), link));
    ServiceProcess service({"--db", db.location(), "--meet", "RIV26", "--event", "E12", "--device",
                            link, "--journal", dir.filePath(QStringLiteral("j"))});
    ASSERT_TRUE(service.started()) << service.log().toStdString();
    FeedClient feed(service.port());
    sendDive(*simulator, plainDive(1));
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 1).size(), 1);

    simulator->hangUp();
    const auto closed = [&] {
        for (const QJsonObject &m : feed.waitFor(QStringLiteral("console"), 1, 0))
            if (!m["open"].toBool())
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor(closed, 10000)) << service.log().toStdString();
    EXPECT_EQ(service.request("GET", "/api/meet").status, 200);
    const HttpReply unhealthy = service.request("GET", "/healthz");
    EXPECT_EQ(unhealthy.status, 503);
    EXPECT_TRUE(unhealthy.object()["error"].toString().startsWith(QStringLiteral("console: ")));

    simulator = std::make_unique<ConsoleSimulator>();
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(simulator->slavePath(), link));
    ASSERT_TRUE(service.waitForConsoleOpen(10000));
    EXPECT_EQ(service.request("GET", "/healthz").status, 200);
    sendDive(*simulator, plainDive(2));
    ASSERT_EQ(feed.waitFor(QStringLiteral("dive"), 2).size(), 2);
    EXPECT_EQ(divingOrders(service), (QList<int>{1, 2}));
}
