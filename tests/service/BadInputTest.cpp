// What the service answers to requests it cannot serve, and how it refuses to start.
#include "ServiceHarness.h"
#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/simulator/SampleMeet.h>

#include <QProcess>

#include <algorithm>

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

class ServeInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_db = std::make_unique<MeetDb>(QStringLiteral("SQLite"), QStringLiteral("bad_input"));
        s_simulator = std::make_unique<Kavvix::ConsoleSimulator>();
        // Listening on every address: the token is required, also from the loopback.
        s_service = std::make_unique<ServiceProcess>(
            QStringList{"--db", s_db->location(), "--meet", "RIV26", "--device",
                        s_simulator->slavePath(), "--listen", "0.0.0.0:0", "--token", "s3cret"});
    }
    static void TearDownTestSuite() {
        s_service.reset();
        s_simulator.reset();
        s_db.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_service->started()) << s_service->log().toStdString(); }

    inline static std::unique_ptr<MeetDb> s_db;
    inline static std::unique_ptr<Kavvix::ConsoleSimulator> s_simulator;
    inline static std::unique_ptr<ServiceProcess> s_service;
};

} // namespace

TEST_F(ServeInput, EveryRefusalIsAJsonErrorWithAFittingStatus) {
    const QByteArray big(70 * 1024, ' ');
    const struct {
        const char *verb;
        const char *path;
        QByteArray body;
        QByteArray token;
        int status;
    } cases[] = {
        {"GET", "/api/nothing", {}, {}, 404},
        {"GET", "/api/events/NOPE/results", {}, {}, 404},
        {"GET", "/api/events/NOPE/standings", {}, {}, 404},
        {"DELETE", "/api/meet", {}, {}, 404},
        {"POST", "/api/connection-test", {}, {}, 401},
        {"POST", "/api/connection-test", {}, "wrong", 401},
        {"PUT", "/api/current-event", R"({"eventId":"E12"})", {}, 401},
        {"PUT", "/api/current-event", "{\"eventId\":", "s3cret", 400},
        {"PUT", "/api/current-event", R"({"eventId":12})", "s3cret", 400},
        {"PUT", "/api/current-event", R"(["E12"])", "s3cret", 400},
        {"PUT", "/api/current-event", R"({"eventId":"NOPE"})", "s3cret", 404},
        {"POST", "/api/events/E12/upload", R"({"order":"X"})", "s3cret", 400},
        {"POST", "/api/events/E12/upload", R"({"order":3})", "s3cret", 400},
        {"POST", "/api/events/NOPE/upload", R"({"order":"A"})", "s3cret", 404},
        {"PUT", "/api/current-event", "{\"eventId\":\"E12\"," + big + "}", "s3cret", 413},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.path + " " + c.body.left(40).toStdString());
        const HttpReply reply =
            s_service->request(c.verb, QString::fromLatin1(c.path), c.body, c.token);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_FALSE(reply.object()["error"].toString().isEmpty());
    }
    const HttpReply accepted = s_service->request("PUT", QStringLiteral("/api/current-event"),
                                                  R"({"eventId":"E12"})", "s3cret");
    EXPECT_EQ(accepted.status, 200);
    EXPECT_EQ(s_service->request("GET", QStringLiteral("/api/meet")).object()["currentEvent"],
              QStringLiteral("E12"));
}

// A thousand feed clients, a hundred at a time, each let go by the service when it leaves.
// The allocator settles over the first few hundred (about 2 MiB); after that, the last five
// hundred clients may not cost 2 KiB each, as a leak of their sockets would.
TEST_F(ServeInput, AThousandFeedClientsComingAndGoingLeaveMemoryFlat) {
    const auto closed = [] {
        return s_service->log().count(QLatin1String("WS /live closed by the client"));
    };
    const qsizetype closedBefore = closed();
    [[maybe_unused]] long settledKiB = 0;
    for (int round = 1; round <= 10; ++round) {
        std::vector<std::unique_ptr<QWebSocket>> sockets;
        for (int i = 0; i < 100; ++i) {
            sockets.push_back(std::make_unique<QWebSocket>());
            sockets.back()->open(
                QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(s_service->port())));
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return std::all_of(sockets.begin(), sockets.end(), [](const auto &socket) {
                    return socket->state() == QAbstractSocket::ConnectedState;
                });
            },
            20000));
        sockets.clear();
        ASSERT_TRUE(QTest::qWaitFor([&] { return closed() >= closedBefore + round * 100; }, 20000))
            << closed() - closedBefore << " of " << round * 100 << " seen leaving";
        if (round == 5)
            settledKiB = s_service->residentKiB();
    }
#ifndef __SANITIZE_ADDRESS__ // whose quarantine keeps freed memory on purpose
    EXPECT_LT(s_service->residentKiB() - settledKiB, 1024);
#endif
    FeedClient wrongPath(s_service->port(), QStringLiteral("/elsewhere"));
    (void)QTest::qWaitFor([&] { return !wrongPath.connected(); }, 5000);
    EXPECT_FALSE(wrongPath.connected());
    EXPECT_EQ(s_service->request("GET", QStringLiteral("/api/meet")).status, 200);
}

TEST(ServeStart, SaysInOneLineWhyItCannotStart) {
    MeetDb db(QStringLiteral("SQLite"), QStringLiteral("no_start"));
    Kavvix::ConsoleSimulator simulator;
    const QStringList base = {"serve", "--db", db.location(), "--device", simulator.slavePath()};
    const struct {
        QStringList arguments;
        const char *reason;
    } cases[] = {
        {base + QStringList{"--meet", "NOPE"}, "meet 'NOPE' is not in"},
        {base + QStringList{"--meet", "RIV26", "--event", "NOPE"}, "has no event 'NOPE'"},
        {base + QStringList{"--meet", "RIV26", "--listen", "0.0.0.0:0"}, "needs a token"},
        {base + QStringList{"--meet", "RIV26", "--listen", "192.0.2.1:80", "--token", "t"},
         "cannot listen on"},
        {{"serve", "--db", "/nonexistent/meet.db", "--meet", "RIV26", "--port", "1"}, "database"},
        {{"serve", "--db", db.location(), "--meet", "RIV26", "--device", "/dev/nonexistent-tty",
          "--listen", "127.0.0.1:0"},
         "kavvix serve: /dev/nonexistent-tty does not exist"}, // as given, not as a number
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        QProcess process;
        process.start(QStringLiteral(KAVVIX_CLI_PATH), c.arguments);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        EXPECT_EQ(err.count(u'\n'), 0) << err.toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("kavvix serve: "))) << err.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(c.reason))) << err.toStdString();
    }
}
