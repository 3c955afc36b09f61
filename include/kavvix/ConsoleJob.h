#pragma once

#include <kavvix/ConsoleLine.h>
#include <kavvix/JobResult.h>
#include <kavvix/comPort.h>
#include <kavvix/export.h>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>
#include <QTimer>

#include <memory>

namespace Kavvix {

class cUtility;

// A long operation on the serial line to the timing console: an upload or a connection test.
// It runs on the event loop of the thread that created it, reports each operator message line
// through message() as it happens, and its end exactly once through finished(), after which
// the job has given the line back and does nothing more. Delete it with deleteLater() when it
// is finished; cancel() ends it at once with the result Aborted.
//
// The job takes a ConsoleLine for its duration: the owner's (setLine: the upload dialog's, the
// service's), or a line of its own. It hears what the line receives character by character, in
// order, and counts the ticks of the line's wait timer while it waits for an answer.
class KAVVIX_EXPORT ConsoleJob : public QObject, protected LineHolder {
    Q_OBJECT

public:
    enum class State {
        Idle,       // not started
        Validating, // checking what is to be sent
        Preparing,  // reading and building what is to be sent
        Opening,    // opening the port
        Waiting,    // something was sent; waiting for the console's answer
        Finished,   // result() holds the outcome
    };
    Q_ENUM(State)

    static constexpr int WaitIntervalMs = ConsoleLine::WaitIntervalMs;

    ~ConsoleJob() override;

    // The port number to open ("COM n", see PortDevice); 1 unless set.
    void setCommPort(qint16 n) { m_commPort = n; }
    qint16 commPort() const { return m_commPort; }
    // The line to take when started; it must outlive the job. A job given none makes its own.
    void setLine(ConsoleLine *line) { m_line = line; }
    ConsoleLine *line() const { return m_line; }

    State state() const { return m_state; }
    bool isRunning() const { return m_state != State::Idle && m_state != State::Finished; }
    bool isFinished() const { return m_state == State::Finished; }
    // The outcome; meaningful once finished.
    const JobResult &result() const { return m_result; }

    // Starts the job; does nothing unless it is Idle. May finish before it returns.
    void start();
    // Ends a running job at once: port closed, a message line, result Aborted. A job not
    // started yet finishes Aborted without a message; a finished one is left as it is.
    void cancel();

signals:
    void stateChanged(Kavvix::ConsoleJob::State state);
    // One operator message line, without the time of day.
    void message(const QString &text);
    // Emitted once, last. The state is already Finished.
    void finished(const Kavvix::JobResult &result);

protected:
    explicit ConsoleJob(QObject *parent = nullptr);

    virtual void run() = 0;
    // One received character (one-character text).
    virtual void receiveChar(const QString &c) = 0;
    // The wait: ticks 1 to timeoutTicks() are counted (waitCounted), the one after ends it.
    virtual qint16 timeoutTicks() const = 0;
    virtual void waitTimedOut() = 0;
    virtual void waitCounted(qint16 ticks) { Q_UNUSED(ticks); }
    virtual QString cancelMessage() const = 0;

    void setState(State state);
    void showMessage(const QString &text) { emit message(text); }
    // Closes the port, stops the timer, and reports the end: state Finished, the final message
    // line (if any), then finished(). Later calls do nothing.
    void finish(const JobResult &result, const QString &finalMessage = {});

    // The line's port, selected and set to the console's line settings; opened by openPort()
    // (a port its receiver keeps open stays as it is).
    comPort &port();
    void selectPort();
    void openPort();
    // Closes the port unless the line's receiver keeps it open.
    void closePort();
    void startWaiting(); // tick count 0, the wait timer (re)started
    void stopWaiting();
    void resetWaitTicks() { m_waitTicks = 0; }
    cUtility &utility();

private:
    qsizetype lineReceived(QByteArrayView bytes) override;
    void lineLost(const QString &why) override;
    void lineWaitTicked() override;
    void releaseLine();

    qint16 m_commPort = 1;
    qint16 m_waitTicks = 0;
    QPointer<ConsoleLine> m_line;
    std::unique_ptr<ConsoleLine> m_ownLine;
    bool m_holdsLine = false;
    std::unique_ptr<cUtility> m_utility;
    State m_state = State::Idle;
    JobResult m_result;
};

namespace modKavvix {

// An operator message line as the upload dialog lists it: the time of day in the locale's
// long format (without a time zone), one blank, the text.
KAVVIX_EXPORT QString MessageLine(QTime time, const QString &sMessage);

} // namespace modKavvix

} // namespace Kavvix
