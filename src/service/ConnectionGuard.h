#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class QTcpSocket;

namespace Kavvix {

// Watches one HTTP connection from its first byte, ahead of the HTTP server: reads the head
// of each request as it arrives, refuses a body announced or found to be larger than the
// limit (413) before more of it is read, and closes the connection once it has been idle for
// the time-out, unless it became a WebSocket feed. Lives as a child of its socket.
class ConnectionGuard : public QObject {
    Q_OBJECT

public:
    // Connections open and those of them that are feeds, shared by every guard of a server.
    struct Counts {
        int open = 0;
        int feeds = 0;
    };
    struct Limits {
        qint64 maxBodyBytes = 0;
        qint64 maxHeadBytes = 0;
        int maxFeeds = 0;
        int idleTimeoutMs = 0;
        std::shared_ptr<Counts> counts;
    };

    ConnectionGuard(QTcpSocket &socket, const Limits &limits);
    ~ConnectionGuard() override;

    // A complete HTTP answer with a JSON error body that closes the connection.
    static QByteArray errorResponse(int status, const char *reason, const QString &text);
    // Sends the answer, reads (and drops) no more than arrives meanwhile, and closes.
    static void answerAndClose(QTcpSocket &socket, const QByteArray &response);

signals:
    void logLine(const QString &text);
    // A feed client was refused: the feed has as many as it may have.
    void feedRefused();

private:
    struct Head {
        QByteArray method;
        QByteArray path;
        qint64 contentLength = -1;
        bool upgrade = false;
    };
    void onReadyRead();
    void startRequest();
    bool readHead(const QByteArray &fresh);
    void reject(int status, const char *reason, const QString &text);

    QTcpSocket &m_socket;
    const Limits m_limits;
    QTimer m_idle;
    QByteArray m_headBytes;
    qint64 m_headLength = -1; // -1 until the head's blank line has arrived
    qint64 m_received = 0;    // bytes of the current request so far
    Head m_head;
    bool m_feed = false;
    bool m_rejected = false;
};

} // namespace Kavvix
