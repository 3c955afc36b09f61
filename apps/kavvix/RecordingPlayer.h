#pragma once

#include <kavvix/service/Recording.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace KavvixCli {

// Plays a recording back through send() with its recorded timing, speed times faster (0: as
// fast as it can), then emits done(). It sends no more at a time than room() says the line
// can take, so nothing is lost however much is due at once. A pause longer than MaxGapUs
// between two bytes (or a time going backwards, as a damaged recording may hold) is played
// as MaxGapUs (as no pause).
class RecordingPlayer : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 MaxGapUs = 60LL * 1000 * 1000;

    RecordingPlayer(const QList<Kavvix::Recording::Byte> &bytes, double speed,
                    std::function<void(const QByteArray &)> send, std::function<qsizetype()> room,
                    QObject *parent = nullptr);
    void start();

signals:
    void done(qsizetype bytesSent);

private:
    void sendDue();

    QByteArray m_values;
    QList<qint64> m_dueUs; // when each byte is due, from the start of the replay
    std::function<void(const QByteArray &)> m_send;
    std::function<qsizetype()> m_room;
    qsizetype m_next = 0;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

} // namespace KavvixCli
