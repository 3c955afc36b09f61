#include <kavvix/ConsoleLine.h>

#include <kavvix/comPort.h>

#include <QPointer>
#include <QTimer>

namespace Kavvix {

LineHolder::~LineHolder() = default;

ConsoleLine::ConsoleLine(QObject *parent)
    : QObject(parent), m_port(new comPort(this)), m_waitTimer(new QTimer(this)) {
    m_port->setObjectName(QStringLiteral("comPort"));
    m_waitTimer->setObjectName(QStringLiteral("tmrWait"));
    m_waitTimer->setInterval(WaitIntervalMs);
    connect(m_port, &comPort::received, this, &ConsoleLine::deliver);
    connect(m_port, &comPort::OnComm, this, &ConsoleLine::onComm);
    connect(m_waitTimer, &QTimer::timeout, this, [this] {
        if (m_job)
            m_job->lineWaitTicked();
    });
}

ConsoleLine::~ConsoleLine() = default;

bool ConsoleLine::take(LineHolder *job) {
    if (m_job)
        return m_job == job;
    // What arrived before the job took the line is not an answer to anything it sends.
    const QByteArray before = m_port->takeReceived();
    if (m_receiver && !before.isEmpty())
        m_receiver->lineReceived(before);
    m_job = job;
    return true;
}

void ConsoleLine::giveBack(LineHolder *job) {
    if (m_job != job)
        return;
    m_job = nullptr;
    m_waitTimer->stop();
    if (!m_receiver && m_port->isOpen())
        m_port->close();
}

void ConsoleLine::deliver(const QByteArray &bytes) {
    const QPointer<ConsoleLine> alive(this);
    QByteArrayView rest(bytes);
    while (!rest.isEmpty()) {
        LineHolder *const to = holder();
        if (!to)
            return; // nobody listens: the dialog between jobs reads nothing
        const qsizetype took = to->lineReceived(rest);
        if (!alive)
            return;
        rest = rest.sliced(qBound<qsizetype>(0, took, rest.size()));
        if (took <= 0 && holder() == to)
            return;
    }
}

void ConsoleLine::onComm() {
    // Only the device's loss: a failed open is reported to whoever opened.
    if (m_port->CommEvent() != comPort::LineLost)
        return;
    if (LineHolder *const to = holder())
        to->lineLost(m_port->errorText());
}

} // namespace Kavvix
