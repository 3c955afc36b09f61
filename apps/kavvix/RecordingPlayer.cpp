#include "RecordingPlayer.h"

namespace KavvixCli {

namespace {

// How often to look again while the line has no room, and at most between two looks.
constexpr int FullLineRetryMs = 20;
constexpr qint64 LongestWaitMs = 1000;

} // namespace

RecordingPlayer::RecordingPlayer(const QList<Kavvix::Recording::Byte> &bytes, double speed,
                                 std::function<void(const QByteArray &)> send,
                                 std::function<qsizetype()> room, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_room(std::move(room)) {
    m_values.reserve(bytes.size());
    m_dueUs.reserve(bytes.size());
    double playedUs = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0 && speed > 0)
            playedUs +=
                double(qBound<qint64>(0, bytes[i].atUs - bytes[i - 1].atUs, MaxGapUs)) / speed;
        m_values.append(bytes[i].value);
        m_dueUs.append(qint64(playedUs));
    }
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RecordingPlayer::sendDue);
}

void RecordingPlayer::start() {
    m_clock.start();
    m_timer.start(0);
}

void RecordingPlayer::sendDue() {
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    const qsizetype room = m_room();
    qsizetype end = m_next;
    while (end < m_values.size() && end - m_next < room && m_dueUs[end] <= nowUs)
        ++end;
    if (end > m_next)
        m_send(m_values.mid(m_next, end - m_next));
    const bool full = end - m_next >= room;
    m_next = end;
    if (m_next >= m_values.size()) {
        emit done(m_values.size());
        return;
    }
    m_timer.start(full ? FullLineRetryMs
                       : int(qBound<qint64>(0, (m_dueUs[m_next] - nowUs) / 1000, LongestWaitMs)));
}

} // namespace KavvixCli
