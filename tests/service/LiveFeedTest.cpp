// The /live feed on its own HTTP server.
#include "service/LiveFeed.h"

#include <QHttpServer>
#include <QJsonDocument>
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

// Every reader gets every message whole and in order, whatever the form of the frame's length
// field (in the first byte, in 16 bits, in 64 bits), while a client that stops reading is closed
// once 1 MiB waits for it.
TEST_F(Feed, EveryReaderGetsEveryMessageAndOneThatStopsReadingIsClosed) {
    std::vector<QStringList> received(2);
    std::vector<std::unique_ptr<QWebSocket>> readers;
    for (QStringList &list : received)
        readers.push_back(client(list));
    QTcpSocket stalled; // takes the feed, then reads no more than its first 4 KiB
    stalled.setReadBufferSize(4096);
    stalled.connectToHost(QHostAddress::LocalHost, m_port);
    stalled.write("GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                  "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_feed.clientCount() == 3; }, 10000));

    QStringList sent;
    const auto broadcast = [&](qsizetype textBytes) {
        const QJsonObject message{{"type", "dive"}, {"text", QString(textBytes, u'x')}};
        m_feed.broadcast(message);
        sent << QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    };
    for (const qsizetype textBytes : {10, 100, 126, 300, 65600, 3})
        broadcast(textBytes);
    // The kernel's buffers take a few MiB first; then the feed's own buffer for it grows.
    while (sent.size() < 400 && m_feed.clientCount() == 3) {
        broadcast(64 * 1024);
        QTest::qWait(5);
    }
    stalled.abort();
    EXPECT_EQ(m_feed.clientCount(), 2);
    EXPECT_EQ(m_log.filter(QStringLiteral("WS /live closed: too far behind")).size(), 1)
        << m_log.join(u'\n').toStdString();
    for (const QStringList &list : received) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return list.size() >= sent.size(); }, 20000));
        EXPECT_TRUE(list == sent);
    }
}

} // namespace
