#include "RecordingPlayer.h"

namespace KavvixCli {

RecordingPlayer::RecordingPlayer(QList<Kavvix::Recording::Byte> bytes, double speed,
                                 std::function<void(const QByteArray &)> send, QObject *parent)
    : QObject(parent), m_bytes(std::move(bytes)), m_speed(speed), m_send(std::move(send)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RecordingPlayer::sendDue);
}

void RecordingPlayer::start() {
    m_clock.start();
    m_timer.start(0);
}

void RecordingPlayer::sendDue() {
    const qint64 firstUs = m_bytes.isEmpty() ? 0 : m_bytes.first().atUs;
    const auto dueUs = [&](qsizetype i) {
        return m_speed <= 0 ? 0 : qint64(double(m_bytes[i].atUs - firstUs) / m_speed);
    };
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    QByteArray chunk;
    while (m_next < m_bytes.size() && dueUs(m_next) <= nowUs)
        chunk.append(m_bytes[m_next++].value);
    if (!chunk.isEmpty())
        m_send(chunk);
    if (m_next >= m_bytes.size()) {
        emit done(m_bytes.size());
        return;
    }
    m_timer.start(int(qMax<qint64>(0, (dueUs(m_next) - nowUs) / 1000)));
}

} // namespace KavvixCli
