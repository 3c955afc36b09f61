#pragma once

#include <kavvix/service/Recording.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace KavvixCli {

// Plays a recording back through send() with its recorded timing, speed times faster (0: as
// fast as it can), then emits done().
class RecordingPlayer : public QObject {
    Q_OBJECT

public:
    RecordingPlayer(QList<Kavvix::Recording::Byte> bytes, double speed,
                    std::function<void(const QByteArray &)> send, QObject *parent = nullptr);
    void start();

signals:
    void done(qsizetype bytesSent);

private:
    void sendDue();

    QList<Kavvix::Recording::Byte> m_bytes;
    double m_speed;
    std::function<void(const QByteArray &)> m_send;
    qsizetype m_next = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace KavvixCli
