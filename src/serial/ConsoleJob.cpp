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
    // A job deleted while it runs gives the line back: the timer stopped, and the port closed
    // unless the line's receiver keeps it.
    releaseLine();
}

void ConsoleJob::start() {
    if (m_state != State::Idle)
        return;
    if (!m_line) {
        m_ownLine = std::make_unique<ConsoleLine>();
        m_line = m_ownLine.get();
    }
    if (!m_line->take(this)) {
        finish(JobResult{JobResult::Kind::Failed, {}, QStringLiteral("the line is in use")},
               QStringLiteral("Process aborted - another job is using the serial line"));
        return;
    }
    m_holdsLine = true;
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
    releaseLine();
    m_result = result;
    setState(State::Finished);
    if (!finalMessage.isEmpty())
        emit message(finalMessage);
    emit finished(m_result);
}

void ConsoleJob::releaseLine() {
    if (!m_holdsLine)
        return;
    m_holdsLine = false;
    if (m_line)
        m_line->giveBack(this);
}

comPort &ConsoleJob::port() {
    return m_line->port();
}

void ConsoleJob::selectPort() {
    if (m_line->receiver() && port().isOpen())
        return; // kept open on this line by its receiver, with the console's settings
    port().setCommPort(m_commPort);
    port().setSettings(modKavvix::ConsoleLineSettings);
}

void ConsoleJob::openPort() {
    if (!port().isOpen())
        port().open();
}

void ConsoleJob::closePort() {
    if (m_line && !m_line->receiver() && port().isOpen())
        port().close();
}

void ConsoleJob::startWaiting() {
    m_waitTicks = 0;
    m_line->waitTimer().start();
}

void ConsoleJob::stopWaiting() {
    if (m_line)
        m_line->waitTimer().stop();
}

cUtility &ConsoleJob::utility() {
    if (!m_utility)
        m_utility = createUtility();
    return *m_utility;
}

void ConsoleJob::lineWaitTicked() {
    if (!isRunning())
        return;
    if (m_waitTicks == timeoutTicks()) {
        waitTimedOut();
        return;
    }
    ++m_waitTicks;
    waitCounted(m_waitTicks);
}

qsizetype ConsoleJob::lineReceived(QByteArrayView bytes) {
    // One character at a time, as the console sent them; the characters after the one that
    // ended the job are the next holder's.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (!isRunning())
            return i;
        receiveChar(QString(QLatin1Char(bytes[i])));
    }
    return bytes.size();
}

void ConsoleJob::lineLost(const QString &why) {
    if (isRunning())
        finish(JobResult{JobResult::Kind::LineLost, {}, why},
               QStringLiteral("Communications ERROR: the serial line was lost"));
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
