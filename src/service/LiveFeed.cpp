#include "LiveFeed.h"

#include <QAbstractHttpServer>
#include <QJsonDocument>
#include <QWebSocket>

namespace Kavvix {

struct LiveFeed::Client {
    std::unique_ptr<QWebSocket> socket;
    qint64 queued = 0; // bytes handed to the socket and not written yet
};

LiveFeed::LiveFeed(QAbstractHttpServer &server, QObject *parent)
    : QObject(parent), m_server(server) {
    connect(&m_server, &QAbstractHttpServer::newWebSocketConnection, this, &LiveFeed::accept);
}

LiveFeed::~LiveFeed() {
    for (auto &client : m_clients)
        client->socket->disconnect(this);
}

void LiveFeed::accept() {
    while (m_server.hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_server.nextPendingWebSocketConnection();
        if (!socket)
            continue;
        const QString peer = socket->peerAddress().toString();
        if (socket->requestUrl().path() != Path) {
            emit logLine(QStringLiteral("%1 WS %2 404").arg(peer, socket->requestUrl().path()));
            socket->close(QWebSocketProtocol::CloseCodeBadOperation,
                          QStringLiteral("the feed is at /live"));
            socket.release()->deleteLater();
            continue;
        }
        emit logLine(QStringLiteral("%1 WS %2 101").arg(peer, Path));
        QWebSocket *raw = socket.get();
        raw->setMaxAllowedIncomingFrameSize(MaxClientMessageBytes);
        raw->setMaxAllowedIncomingMessageSize(MaxClientMessageBytes);
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        Client *entry = client.get();
        connect(raw, &QWebSocket::bytesWritten, this,
                [entry](qint64 bytes) { entry->queued = qMax<qint64>(0, entry->queued - bytes); });
        connect(raw, &QWebSocket::disconnected, this, [this, raw, peer] {
            emit logLine(QStringLiteral("%1 WS %2 closed by the client").arg(peer, Path));
            drop(raw);
        });
        m_clients.push_back(std::move(client));
    }
}

void LiveFeed::drop(QWebSocket *socket) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const auto &client) {
        return client->socket.get() == socket;
    });
    if (it == m_clients.end())
        return;
    std::unique_ptr<QWebSocket> owned = std::move((*it)->socket);
    // A send that fails at once closes its socket from inside broadcast(): the entry stays,
    // empty, until the loop over the clients is done.
    if (!m_sending)
        m_clients.erase(it);
    owned->disconnect(this);
    // Still inside one of the socket's own signals: delete it later.
    owned.release()->deleteLater();
}

void LiveFeed::broadcast(const QJsonObject &message) {
    const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    const qint64 size = text.size();
    std::vector<QWebSocket *> behind;
    m_sending = true;
    for (auto &client : m_clients) {
        if (!client->socket)
            continue;
        if (client->queued + size > MaxQueuedBytes) {
            behind.push_back(client->socket.get());
            continue;
        }
        client->queued += size;
        client->socket->sendTextMessage(text);
        // Into the kernel's buffer now, while the message is at hand: left to the event loop,
        // each of thousands of sockets would wait for a write notification of its own.
        client->socket->flush();
    }
    m_sending = false;
    std::erase_if(m_clients, [](const auto &client) { return !client->socket; });
    for (QWebSocket *socket : behind) {
        emit logLine(QStringLiteral("%1 WS %2 closed: too far behind")
                         .arg(socket->peerAddress().toString(), Path));
        socket->abort();
        drop(socket);
    }
}

void LiveFeed::closeAll() {
    for (auto &client : m_clients) {
        client->socket->disconnect(this);
        client->socket->close(QWebSocketProtocol::CloseCodeGoingAway,
                              QStringLiteral("the service is stopping"));
        client->socket->flush();
    }
    m_clients.clear();
}

} // namespace Kavvix
