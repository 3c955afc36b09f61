// What the service answers to requests it cannot serve and to more clients than it can hold.
#include "CpuTime.h"
#include "ResidentMemory.h"
#include "ServiceHarness.h"

#include <QTcpSocket>

#include <algorithm>

#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace KavvixTest;

namespace {

// Sends the head, then body bytes (up to bodyBytes) while the service reads them, and returns
// the answer's status line; empty when the connection closed without one.
QByteArray rawExchange(quint16 port, const QByteArray &head, qint64 bodyBytes,
                       const QByteArray &piece) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return "no connection";
    socket.write(head);
    QByteArray answer;
    for (qint64 sent = 0; answer.isEmpty() && socket.state() == QAbstractSocket::ConnectedState;) {
        if (sent < bodyBytes) {
            socket.write(piece);
            sent += piece.size();
        }
        socket.waitForBytesWritten(100);
        if (socket.waitForReadyRead(sent < bodyBytes ? 1 : 3000))
            answer = socket.readAll();
        else if (sent >= bodyBytes)
            break;
    }
    return answer.left(answer.indexOf('\r'));
}

// One service for every test here, with a token, an idle time-out of a second and its open files
// limited to 1,024: at most 924 connections.
class ServeInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rlimit own{}; // the test's own clients need more than 1,024 open files
        ::getrlimit(RLIMIT_NOFILE, &own);
        own.rlim_cur = own.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &own);
        s_db = std::make_unique<MeetDb>(QStringLiteral("SQLite"), QStringLiteral("bad_input"));
        s_simulator = std::make_unique<Kavvix::ConsoleSimulator>();
        s_service = std::make_unique<ServiceProcess>(
            QStringList{"--db", s_db->location(), "--meet", "RIV26", "--event", "E12", "--device",
                        s_simulator->slavePath(), "--token", "s3cret", "--idle-timeout", "1"},
            1024);
    }
    static void TearDownTestSuite() {
        s_service.reset();
        s_simulator.reset();
        s_db.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_service->started()) << s_service->log().toStdString(); }

    static qsizetype feedsClosed() {
        return s_service->log().count(QLatin1String("WS /live closed by the client"));
    }

    inline static std::unique_ptr<MeetDb> s_db;
    inline static std::unique_ptr<Kavvix::ConsoleSimulator> s_simulator;
    inline static std::unique_ptr<ServiceProcess> s_service;
};

} // namespace

TEST_F(ServeInput, EveryRefusalIsAJsonErrorWithAFittingStatus) {
    const QByteArray big(70 * 1024, ' ');
    const std::tuple<const char *, const char *, QByteArray, QByteArray, int> cases[] = {
        // verb, path, body, token, status
        {"GET", "/api/nothing", {}, {}, 404},
        {"GET", "/api/events/NOPE/results", {}, {}, 404},
        {"POST", "/api/connection-test", {}, {}, 401},
        {"POST", "/api/job/cancel", {}, "s3cret", 409}, // no job runs
        {"PUT", "/api/current-event", "{\"eventId\":", "s3cret", 400},
        {"PUT", "/api/current-event", R"({"eventId":12})", "s3cret", 400},
        {"PUT", "/api/current-event", R"(["E12"])", "s3cret", 400},
        {"PUT", "/api/current-event", R"({"eventId":"NOPE"})", "s3cret", 404},
        {"POST", "/api/events/E12/upload", R"({"order":"X"})", "s3cret", 400},
        {"POST", "/api/events/E12/upload", R"({"order":3})", "s3cret", 400},
        {"POST", "/api/events/NOPE/upload", R"({"order":"A"})", "s3cret", 404},
        {"PUT", "/api/current-event", "{\"eventId\":\"E12\"," + big + "}", "s3cret", 413},
    };
    for (const auto &[verb, path, body, token, status] : cases) {
        SCOPED_TRACE(std::string(verb) + " " + path + " " + body.left(40).toStdString());
        const HttpReply reply = s_service->request(verb, QString::fromLatin1(path), body, token);
        EXPECT_EQ(reply.status, status);
        EXPECT_FALSE(reply.object()["error"].toString().isEmpty());
    }
}

TEST_F(ServeInput, OversizedRequestsAreRefusedBeforeTheyAreRead) {
    const QByteArray tooLarge = "HTTP/1.1 413 Payload Too Large";
    const std::tuple<const char *, qint64, QByteArray, QByteArray> cases[] = {
        // the head after the request line, the body sent in pieces, the answer's status line
        {"Content-Length: 1000000000\r\n\r\n", 0, {}, tooLarge},
        {"Content-Length: 99999999999999999999\r\n\r\n", 0, {}, tooLarge},
        {"Transfer-Encoding: chunked\r\n\r\n", 64 << 20,
         "4000\r\n" + QByteArray(0x4000, 'x') + "\r\n", tooLarge},
        {"X-Filler: ", 64 << 20, QByteArray(0x4000, 'y'), // a head that never ends
         "HTTP/1.1 431 Request Header Fields Too Large"},
    };
    [[maybe_unused]] const long residentBefore = residentKiB(s_service->pid());
    for (const auto &[head, bodyBytes, piece, statusLine] : cases) {
        const QByteArray request =
            QByteArray("POST /api/events/E12/upload HTTP/1.1\r\nHost: x\r\n") + head;
        EXPECT_EQ(rawExchange(s_service->port(), request, bodyBytes, piece), statusLine) << head;
        EXPECT_EQ(s_service->request("GET", QStringLiteral("/api/meet")).status, 200);
    }
    EXPECT_TRUE(s_service->log().contains(QLatin1String("POST /api/events/E12/upload 413")));
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(residentKiB(s_service->pid()) - residentBefore, 8 * 1024);
#endif
}

// The feed takes only small control frames from its clients: a big frame, or a big message in
// small frames, closes the client and leaves the others and the service as they were.
TEST_F(ServeInput, FeedClientsSendingTooMuchAreClosed) {
    // 16 MiB in one frame, and in frames of 1 KiB
    const quint64 frameSizes[] = {32 << 20, 1024};
    FeedClient bystander(s_service->port());
    ASSERT_TRUE(bystander.connected());
    [[maybe_unused]] const long residentBefore = residentKiB(s_service->pid());
    for (const quint64 frameSize : frameSizes) {
        SCOPED_TRACE(frameSize);
        QWebSocket client;
        client.setOutgoingFrameSize(frameSize);
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(s_service->port())));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return client.state() == QAbstractSocket::ConnectedState; }, 10000));
        client.sendBinaryMessage(QByteArray(16 << 20, 'z'));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return client.state() == QAbstractSocket::UnconnectedState; }, 20000));
    }
    EXPECT_TRUE(bystander.connected());
    EXPECT_EQ(s_service->request("GET", QStringLiteral("/api/meet")).status, 200);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(residentKiB(s_service->pid()) - residentBefore, 8 * 1024);
#endif
}

// Twelve hundred feed clients at 924 connections: the service takes as many as it can and tells
// the rest "503" at once; the API answers, a dive reaches every client it took, an idle
// connection is closed, nothing spins, and the places of clients that left are free again (a
// client the service did not let go of would keep its place).
TEST_F(ServeInput, TwelveHundredFeedClientsAtAThousandOpenFiles) {
    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    if (own.rlim_cur < 1400)
        GTEST_SKIP() << "this test needs 1,400 open files of its own";
    EXPECT_TRUE(s_service->log().contains(
        QLatin1String("open files: soft limit 1024, hard limit 1024; at most 924 clients")));
    std::vector<std::unique_ptr<FeedClient>> clients;
    for (int i = 0; i < 1200; ++i)
        clients.push_back(std::make_unique<FeedClient>(s_service->port()));
    const auto connected = [&] {
        return std::count_if(clients.begin(), clients.end(),
                             [](const auto &client) { return client->connected(); });
    };
    const qsizetype taken = connected();
    EXPECT_GE(taken, 800);
    EXPECT_LE(taken, 924 - 64);
    EXPECT_TRUE(s_service->waitForLog(QStringLiteral("connections: ")));
    EXPECT_EQ(s_service->request("GET", QStringLiteral("/api/meet")).status, 200);

    sendDive(*s_simulator, 3);
    ASSERT_TRUE(s_service->waitForLog(QStringLiteral("round 1 order 3: stored")));
    for (const auto &client : clients)
        if (client->connected()) {
            EXPECT_EQ(client->waitFor(QStringLiteral("dive"), 1, 5000).size(), 1);
        }

    QTcpSocket idle;
    idle.connectToHost(QStringLiteral("127.0.0.1"), s_service->port());
    ASSERT_TRUE(idle.waitForConnected(5000));
    const double cpuBefore = cpuSeconds(s_service->pid());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return idle.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QTest::qWait(2000);
    EXPECT_LT(cpuSeconds(s_service->pid()) - cpuBefore, 1.0);
    EXPECT_EQ(connected(), taken);

    const qsizetype closedBefore = feedsClosed();
    clients.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return feedsClosed() >= closedBefore + taken; }, 20000));
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<FeedClient>(s_service->port()));
    EXPECT_EQ(connected(), 100);
}
