#include <kavvix/ConsoleJob.h>

#include <kavvix/PortTable.h>
#include <kavvix/cUtility.h>
#include <kavvix/comPort.h>

#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

namespace Kavvix {

ConsoleJob::ConsoleJob(QObject *parent) : QObject(parent) {}

ConsoleJob::~ConsoleJob() {
    // A job deleted while it runs leaves neither the port open nor the timer running.
    disconnectOwnLine();
    if (isRunning()) {
        if (m_timer)
            m_timer->stop();
        if (m_line && m_line->isOpen())
            m_line->close();
    }
}

void ConsoleJob::start() {
    if (m_state != State::Idle)
        return;
    if (!m_line) {
        m_ownLine = std::make_unique<comPort>();
        m_line = m_ownLine.get();
        connect(m_line, &comPort::OnComm, this, &ConsoleJob::portNotified);
    }
    if (!m_timer) {
        m_ownTimer = std::make_unique<QTimer>();
        m_ownTimer->setInterval(WaitIntervalMs);
        m_timer = m_ownTimer.get();
        connect(m_timer, &QTimer::timeout, this, &ConsoleJob::waitTimerTicked);
    }
    run();
}

void ConsoleJob::cancel() {
    if (isFinished())
        return;
    finish(JobResult{JobResult::Kind::Aborted, {}, {}},
           m_state == State::Idle ? QString() : cancelMessage());
}

void ConsoleJob::setState(State state) {
    if (m_state == state || m_state == State::Finished)
        return;
    m_state = state;
    emit stateChanged(state);
}

void ConsoleJob::finish(const JobResult &result, const QString &finalMessage) {
    if (m_state == State::Finished)
        return;
    disconnectOwnLine();
    stopWaiting();
    closePort();
    m_result = result;
    setState(State::Finished);
    if (!finalMessage.isEmpty())
        emit message(finalMessage);
    emit finished(m_result);
}

comPort &ConsoleJob::port() {
    return *m_line;
}

void ConsoleJob::selectPort() {
    m_line->setCommPort(m_commPort);
    m_line->setSettings(modKavvix::ConsoleLineSettings);
}

void ConsoleJob::openPort() {
    // A job routes each character as it comes, even on a line its owner reads in batches.
    m_line->setReceiveInBatches(false);
    m_line->open();
}

void ConsoleJob::closePort() {
    if (m_line && m_line->isOpen())
        m_line->close();
}

void ConsoleJob::startWaiting() {
    m_timer->start();
}

void ConsoleJob::stopWaiting() {
    if (m_timer)
        m_timer->stop();
}

cUtility &ConsoleJob::utility() {
    if (!m_utility)
        m_utility = createUtility();
    return *m_utility;
}

void ConsoleJob::disconnectOwnLine() {
    if (m_ownLine)
        disconnect(m_ownLine.get(), nullptr, this, nullptr);
    if (m_ownTimer)
        disconnect(m_ownTimer.get(), nullptr, this, nullptr);
}

void ConsoleJob::waitTimerTicked() {
    if (isRunning())
        waitTick();
}

void ConsoleJob::portNotified() {
    if (!isRunning())
        return;
    const qint16 kind = m_line->CommEvent();
    if (kind == comPort::Received) {
        const QString c = m_line->readChar();
        if (!c.isEmpty())
            receiveChar(c);
    } else if (kind == comPort::LineLost) {
        finish(JobResult{JobResult::Kind::LineLost, {}, m_line->errorText()},
               QStringLiteral("Communications ERROR: the serial line was lost"));
    }
}

namespace modKavvix {

QString MessageLine(QTime time, const QString &sMessage) {
    // The locale's long time format, without the time zone it may carry ("t"): a time of day
    // for the operator, as the clock on the wall shows it.
    static const QString format = QLocale::system()
                                      .timeFormat(QLocale::LongFormat)
                                      .remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")))
                                      .trimmed();
    return QLocale::system().toString(time, format) + u' ' + sMessage;
}

} // namespace modKavvix

} // namespace Kavvix
