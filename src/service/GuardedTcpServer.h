#pragma once

#include "ConnectionGuard.h"

#include <QTcpServer>

#include <memory>

namespace Kavvix {

// The listening socket of the HTTP server, with the limits a service open to a hall full of
// phones needs: at most maxConnections at once (the next one gets a 503 and is closed), of
// them at most maxConnections - RoomForRequests /live feeds, so the API still answers; an
// HTTP connection idle for idleTimeoutMs is closed (a /live feed is never idle), and a
// request whose body is announced or found to pass maxBodyBytes gets a 413 and is closed
// before the rest of it is read.
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT

public:
    struct Limits {
        int maxConnections = 1000;
        qint64 maxBodyBytes = 64 * 1024;
        int idleTimeoutMs = 60000;
    };
    static constexpr qint64 MaxHeadBytes = 16 * 1024;
    static constexpr int RoomForRequests = 64;
    // At most one line a minute about connections refused at the limit.
    static constexpr qint64 RefusalLogIntervalMs = 60000;

    explicit GuardedTcpServer(Limits limits, QObject *parent = nullptr);
    ~GuardedTcpServer() override;

    int openConnections() const { return m_counts->open; }

signals:
    void logLine(const QString &text);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // A socket for the accepted connection; nullptr (the connection closed) when it fails.
    QTcpSocket *adopt(qintptr descriptor);
    void refuse(qintptr descriptor);
    void noteRefusal(const QString &why);

    Limits m_limits;
    // Shared with the connections, which may outlive this server by a moment.
    std::shared_ptr<ConnectionGuard::Counts> m_counts = std::make_shared<ConnectionGuard::Counts>();
    int m_refusing = 0;
    qint64 m_refusedSinceLog = 0;
    qint64 m_lastRefusalLogMs = -RefusalLogIntervalMs;
};

} // namespace Kavvix
