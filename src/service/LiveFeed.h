#pragma once

#include "ServiceRoutes.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class QAbstractHttpServer;
class QWebSocket;

namespace Kavvix {

// The /live WebSocket clients: every message goes to each of them. A client whose unsent
// output passes MaxQueuedBytes has fallen too far behind and is closed, so a slow or vanished
// reader never holds up the serial line or the others. The feed takes nothing from its
// clients but control frames: a frame or message over MaxClientMessageBytes closes the client.
//
// A message is serialised and framed once, and the frame is written to every client in one
// pass, straight into each connection's kernel buffer: thousands of clients cost one system
// call each and no event loop round of their own.
//
// What departed clients freed goes back to the system once they have settled: the allocator
// keeps freed memory for reuse, and after a crowd of thousands leaves it would otherwise hold
// tens of MiB that the service may not need again.
class LiveFeed : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 MaxQueuedBytes = 1 << 20;
    static constexpr quint64 MaxClientMessageBytes = 4096;
    static constexpr int ReturnFreedAfterMs = 10000;
    static inline const QString Path = ServiceRoutes::label(ServiceRoute::Live);

    explicit LiveFeed(QAbstractHttpServer &server, QObject *parent = nullptr);
    ~LiveFeed() override;

    void broadcast(const QJsonObject &message);
    int clientCount() const { return int(m_clients.size()); }
    // Says goodbye to every client (the service is going away).
    void closeAll();

signals:
    void logLine(const QString &text);

private:
    struct Client;
    void accept();
    void drop(QWebSocket *socket);

    QAbstractHttpServer &m_server;
    std::vector<std::unique_ptr<Client>> m_clients;
    bool m_sending = false; // inside broadcast()'s loop over m_clients
    QTimer m_returnFreed;   // once, a while after clients left
};

} // namespace Kavvix
