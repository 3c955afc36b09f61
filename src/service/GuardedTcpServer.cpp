#include "GuardedTcpServer.h"

#include "ConnectionGuard.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace Kavvix {

namespace {

// Connections being told "503" at once; past this many, a new one is closed without a word,
// so that refusing never takes the open files it is meant to protect.
constexpr int MaxRefusing = 32;
// After the system refused to hand over a connection (no file left), listening pauses this
// long instead of being woken again at once.
constexpr int AcceptPauseMs = 1000;

} // namespace

GuardedTcpServer::GuardedTcpServer(Limits limits, QObject *parent)
    : QTcpServer(parent), m_limits(limits) {
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        noteRefusal(errorString());
        pauseAccepting();
        QTimer::singleShot(AcceptPauseMs, this, &QTcpServer::resumeAccepting);
    });
}

GuardedTcpServer::~GuardedTcpServer() = default;

QTcpSocket *GuardedTcpServer::adopt(qintptr descriptor) {
    auto socket = std::make_unique<QTcpSocket>(this);
    if (socket->setSocketDescriptor(descriptor))
        return socket.release();
    ::close(int(descriptor));
    return nullptr;
}

void GuardedTcpServer::incomingConnection(qintptr descriptor) {
    if (m_counts->open >= m_limits.maxConnections) {
        refuse(descriptor);
        return;
    }
    QTcpSocket *socket = adopt(descriptor);
    if (!socket)
        return;
    auto *guard = new ConnectionGuard(*socket, {m_limits.maxBodyBytes, MaxHeadBytes,
                                                qMax(1, m_limits.maxConnections - RoomForRequests),
                                                m_limits.idleTimeoutMs, m_counts});
    connect(guard, &ConnectionGuard::logLine, this, &GuardedTcpServer::logLine);
    connect(guard, &ConnectionGuard::feedRefused, this, [this] {
        noteRefusal(
            QStringLiteral("%1 feed clients, the most this service takes").arg(m_counts->feeds));
    });
    addPendingConnection(socket);
}

void GuardedTcpServer::refuse(qintptr descriptor) {
    noteRefusal(QStringLiteral("%1 connections open, the most this service takes")
                    .arg(m_limits.maxConnections));
    if (m_refusing >= MaxRefusing) {
        ::close(int(descriptor));
        return;
    }
    QTcpSocket *socket = adopt(descriptor);
    if (!socket)
        return;
    ++m_refusing;
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this] { --m_refusing; });
    ConnectionGuard::answerAndClose(
        *socket, ConnectionGuard::errorResponse(
                     503, "Service Unavailable",
                     QStringLiteral("the service has as many clients as it can take; try again")));
}

void GuardedTcpServer::noteRefusal(const QString &why) {
    ++m_refusedSinceLog;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastRefusalLogMs < RefusalLogIntervalMs)
        return;
    emit logLine(QStringLiteral("connections: %1 refused: %2").arg(m_refusedSinceLog).arg(why));
    m_refusedSinceLog = 0;
    m_lastRefusalLogMs = now;
}

} // namespace Kavvix
