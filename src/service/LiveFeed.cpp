#include "LiveFeed.h"

#include <QAbstractHttpServer>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

#include <cerrno>
#include <sys/socket.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace Kavvix {

namespace {

// One whole text frame, unmasked as a server's frames are, around the payload.
QByteArray textFrame(const QByteArray &payload) {
    const auto size = quint64(payload.size());
    QByteArray frame;
    frame.reserve(payload.size() + 10);
    frame.append(char(0x81)); // the last frame of a text message
    if (size < 126) {
        frame.append(char(size));
    } else {
        const int lengthBytes = size <= 0xffff ? 2 : 8;
        frame.append(char(lengthBytes == 2 ? 126 : 127));
        for (int at = lengthBytes - 1; at >= 0; --at)
            frame.append(char((size >> (8 * at)) & 0xff));
    }
    frame.append(payload);
    return frame;
}

// The TCP connection under a WebSocket the HTTP server handed over. It stays a child of the
// listener that accepted it, among the newest ones, so the search starts from the last.
QTcpSocket *connectionUnder(const QAbstractHttpServer &server, const QWebSocket &socket) {
    const auto listeners = server.findChildren<QTcpServer *>(Qt::FindDirectChildrenOnly);
    for (const QTcpServer *listener : listeners) {
        const QObjectList &children = listener->children();
        for (auto it = children.crbegin(); it != children.crend(); ++it) {
            auto *connection = qobject_cast<QTcpSocket *>(*it);
            if (connection && connection->peerPort() == socket.peerPort() &&
                connection->localPort() == socket.localPort() &&
                connection->peerAddress() == socket.peerAddress())
                return connection;
        }
    }
    return nullptr;
}

// Hands the frame to the kernel at once when nothing of the client's is waiting; what the
// kernel does not take waits in the connection's own buffer, which the event loop drains.
void writeFrame(QTcpSocket &connection, const QByteArray &frame) {
    qsizetype sent = 0;
    if (connection.bytesToWrite() == 0) {
        const ssize_t n = ::send(int(connection.socketDescriptor()), frame.constData(),
                                 std::size_t(frame.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return; // the connection is gone: its read notification reports it
        sent = qMax<ssize_t>(n, 0);
    }
    if (sent < frame.size())
        connection.write(frame.constData() + sent, frame.size() - sent);
}

} // namespace

struct LiveFeed::Client {
    std::unique_ptr<QWebSocket> socket;
    // Where the frames are written; when it cannot be found, the WebSocket writes them.
    QPointer<QTcpSocket> connection;
};

LiveFeed::LiveFeed(QAbstractHttpServer &server, QObject *parent)
    : QObject(parent), m_server(server) {
    connect(&m_server, &QAbstractHttpServer::newWebSocketConnection, this, &LiveFeed::accept);
    m_returnFreed.setSingleShot(true);
    m_returnFreed.setInterval(ReturnFreedAfterMs);
    connect(&m_returnFreed, &QTimer::timeout, this, [] {
#ifdef __GLIBC__
        malloc_trim(0); // some milliseconds for thousands of departed clients
#endif
    });
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
        client->connection = connectionUnder(m_server, *raw);
        if (client->connection) // a dive goes out as it comes, not held back behind the last
            client->connection->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client->socket = std::move(socket);
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
    // Not restarted by each departure: a steady coming and going still gets it now and then.
    if (!m_returnFreed.isActive())
        m_returnFreed.start();
}

void LiveFeed::broadcast(const QJsonObject &message) {
    const QByteArray payload = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const QByteArray frame = textFrame(payload);
    QString text; // for a client written through its WebSocket, made once when needed
    std::vector<QWebSocket *> behind;
    m_sending = true;
    for (auto &client : m_clients) {
        QWebSocket *socket = client->socket.get();
        if (!socket)
            continue;
        // Asked of the connection itself where there is one: at 10,000 clients, each object
        // touched per client is felt.
        QAbstractSocket::SocketState state = QAbstractSocket::UnconnectedState;
        qint64 waiting = 0;
        if (QTcpSocket *connection = client->connection) {
            state = connection->state();
            waiting = connection->bytesToWrite();
        } else {
            state = socket->state();
            waiting = socket->bytesToWrite();
        }
        if (state != QAbstractSocket::ConnectedState)
            continue;
        if (waiting + frame.size() > MaxQueuedBytes) {
            behind.push_back(socket);
            continue;
        }
        if (client->connection) {
            writeFrame(*client->connection, frame);
            continue;
        }
        if (text.isNull())
            text = QString::fromUtf8(payload);
        socket->sendTextMessage(text);
        socket->flush();
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
