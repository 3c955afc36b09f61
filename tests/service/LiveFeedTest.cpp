// The /live feed on its own HTTP server: messages of every length class reach each client whole
// and in order, and a client that stops reading is closed once 1 MiB waits for it, while the
// others go on receiving.
#include "service/LiveFeed.h"

#include <QHttpServer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <gtest/gtest.h>

namespace {

class Feed : public ::testing::Test {
protected:
    void SetUp() override {
        // As the service does: the route takes the path and answers nothing, so the upgrade
        // goes to the WebSocket server.
        m_server.route("/live", [](const QHttpServerRequest &, QHttpServerResponder &&) {});
        m_port = quint16(m_server.listen(QHostAddress::LocalHost));
        ASSERT_NE(m_port, 0);
        QObject::connect(&m_feed, &Kavvix::LiveFeed::logLine,
                         [this](const QString &line) { m_log << line; });
    }

    std::unique_ptr<QWebSocket> client(QStringList &received) {
        auto socket = std::make_unique<QWebSocket>();
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                         [&received](const QString &text) { received << text; });
        socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(m_port)));
        return socket;
    }

    QHttpServer m_server;
    Kavvix::LiveFeed m_feed{m_server};
    quint16 m_port = 0;
    QStringList m_log;
};

QJsonObject message(qsizetype textBytes) {
    return {{"type", "dive"}, {"text", QString(textBytes, u'x')}};
}

QString compact(const QJsonObject &object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// The frame's length field has three forms: in the first byte, in 16 bits, in 64 bits.
TEST_F(Feed, EveryClientGetsEveryMessageWholeAndInOrder) {
    const QList<QJsonObject> messages = {message(10),  message(100),   message(126),
                                         message(300), message(65600), message(3)};
    std::vector<QStringList> received(3);
    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (QStringList &list : received)
        clients.push_back(client(list));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_feed.clientCount() == 3; }, 10000));
    QStringList sent;
    for (const QJsonObject &m : messages) {
        m_feed.broadcast(m);
        sent << compact(m);
    }
    for (const QStringList &list : received) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.size() == sent.size(); }, 10000));
        EXPECT_EQ(list, sent);
    }
}

TEST_F(Feed, AClientThatStopsReadingIsClosedAtOneMebibyteBehind) {
    QStringList received;
    const auto reader = client(received);
    QTcpSocket stalled; // takes the feed, then reads no more than its first 4 KiB
    stalled.setReadBufferSize(4096);
    stalled.connectToHost(QHostAddress::LocalHost, m_port);
    stalled.write("GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                  "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_feed.clientCount() == 2; }, 10000));
    // The kernel's buffers take a few MiB first; then the service's own buffer grows.
    int sent = 0;
    while (sent < 400 && m_feed.clientCount() == 2) {
        m_feed.broadcast(message(64 * 1024));
        ++sent;
        QTest::qWait(5);
    }
    stalled.abort();
    EXPECT_EQ(m_feed.clientCount(), 1);
    EXPECT_EQ(m_log.filter(QStringLiteral("WS /live closed: too far behind")).size(), 1)
        << m_log.join(u'\n').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() == sent; }, 20000))
        << received.size() << " of " << sent;
    EXPECT_EQ(reader->state(), QAbstractSocket::ConnectedState);
}

} // namespace
