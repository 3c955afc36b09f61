#include "ConnectionGuard.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <sys/socket.h>

namespace Kavvix {

namespace {

// How long a refused connection may take to read its answer before it is cut.
constexpr int CloseGraceMs = 2000;

} // namespace

ConnectionGuard::ConnectionGuard(QTcpSocket &socket, const Limits &limits)
    : QObject(&socket), m_socket(socket), m_limits(limits) {
    ++m_limits.counts->open;
    // Connected before the HTTP server's own handler, so it sees each chunk first.
    connect(&m_socket, &QTcpSocket::readyRead, this, &ConnectionGuard::onReadyRead);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (!m_feed)
            m_idle.start();
    });
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_limits.idleTimeoutMs);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_feed)
            return;
        m_socket.abort();
        m_socket.deleteLater();
    });
    m_idle.start();
}

ConnectionGuard::~ConnectionGuard() {
    --m_limits.counts->open;
    if (m_feed)
        --m_limits.counts->feeds;
}

QByteArray ConnectionGuard::errorResponse(int status, const char *reason, const QString &text) {
    const QByteArray body =
        QJsonDocument(QJsonObject{{"error", text}}).toJson(QJsonDocument::Compact);
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void ConnectionGuard::answerAndClose(QTcpSocket &socket, const QByteArray &response) {
    // Whatever the client goes on sending is dropped as it comes, never kept. Once the answer
    // is out, only the sending half is closed: the client reads the answer and hangs up,
    // rather than losing it to a reset while it is still sending.
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&socket] { socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::bytesWritten, &socket, [&socket] {
        if (socket.bytesToWrite() == 0)
            ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
    });
    socket.write(response);
    QTimer::singleShot(CloseGraceMs, &socket, [&socket] {
        socket.abort();
        socket.deleteLater();
    });
}

void ConnectionGuard::startRequest() {
    m_headBytes.clear();
    m_headLength = -1;
    m_received = 0;
    m_head = Head{};
}

void ConnectionGuard::onReadyRead() {
    if (m_rejected)
        return;
    m_idle.start();
    // The HTTP server holds each request in a transaction until it is whole: none open means
    // the previous request was answered and this chunk begins the next.
    if (!m_socket.isTransactionStarted() && m_headLength >= 0)
        startRequest();
    const QByteArray fresh = m_socket.peek(m_socket.bytesAvailable());
    m_received += fresh.size();
    if (m_headLength < 0 && !readHead(fresh)) {
        if (m_headBytes.size() > m_limits.maxHeadBytes)
            reject(431, "Request Header Fields Too Large",
                   QStringLiteral("the request head is larger than %1 bytes")
                       .arg(m_limits.maxHeadBytes));
        return;
    }
    if (m_head.upgrade) {
        // Feeds leave room for the requests of the pages and the operator.
        if (m_limits.counts->feeds >= m_limits.maxFeeds) {
            emit feedRefused();
            reject(503, "Service Unavailable",
                   QStringLiteral("the feed has as many clients as it can take; try again"));
            return;
        }
        m_feed = true;
        ++m_limits.counts->feeds;
        m_idle.stop();
        return;
    }
    if (m_head.contentLength > m_limits.maxBodyBytes ||
        m_received - m_headLength > m_limits.maxBodyBytes)
        reject(413, "Payload Too Large",
               QStringLiteral("the body is larger than %1 bytes").arg(m_limits.maxBodyBytes));
}

bool ConnectionGuard::readHead(const QByteArray &fresh) {
    m_headBytes += fresh.left(m_limits.maxHeadBytes + 1 - m_headBytes.size());
    const qsizetype end = m_headBytes.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    m_headLength = end + 4;
    const QList<QByteArray> lines = m_headBytes.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    m_head.method = requestLine.value(0);
    m_head.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            m_head.contentLength = ok ? length : std::numeric_limits<qint64>::max();
        } else if (name == "upgrade") {
            m_head.upgrade = value.compare("websocket", Qt::CaseInsensitive) == 0;
        }
    }
    return true;
}

void ConnectionGuard::reject(int status, const char *reason, const QString &text) {
    m_rejected = true;
    m_idle.stop();
    // The HTTP server reads no more of this connection, and lets go of what it holds.
    QObject::disconnect(&m_socket, &QTcpSocket::readyRead, nullptr, nullptr);
    if (m_socket.isTransactionStarted())
        m_socket.rollbackTransaction();
    m_socket.readAll();
    // Refusals at the limit are summed up by the server instead, or they would flood the log.
    if (status != 503)
        emit logLine(QStringLiteral("%1 %2 %3 %4")
                         .arg(m_socket.peerAddress().toString(),
                              QString::fromLatin1(m_head.method.isEmpty() ? "?" : m_head.method),
                              QString::fromLatin1(m_head.path.left(200)))
                         .arg(status));
    answerAndClose(m_socket, errorResponse(status, reason, text));
}

} // namespace Kavvix
