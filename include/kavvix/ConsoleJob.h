#pragma once

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
// the port is closed and the job does nothing more. Delete it with deleteLater() when it is
// finished; cancel() ends it at once with the result Aborted.
//
// The job opens its own port and runs its own one-second wait timer unless it is given the
// owner's (setLine, setWaitTimer: the upload dialog's port and timer, shared by its jobs). An
// owner that lends its port passes each of the port's notifications to portNotified(); one
// that lends its timer passes each tick to waitTimerTicked().
class KAVVIX_EXPORT ConsoleJob : public QObject {
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

    static constexpr int WaitIntervalMs = 1000;

    ~ConsoleJob() override;

    // The port number to open ("COM n", see PortDevice); 1 unless set.
    void setCommPort(qint16 n) { m_commPort = n; }
    qint16 commPort() const { return m_commPort; }
    // Use the owner's port and wait timer; both must outlive the job.
    void setLine(comPort *port) { m_line = port; }
    void setWaitTimer(QTimer *timer) { m_timer = timer; }
    comPort *line() const { return m_line; }
    QTimer *waitTimer() const { return m_timer; }

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

    // A notification of the port (characters received, the line lost, ...), and a tick of the
    // wait timer. Ignored unless the job runs.
    void portNotified();
    void waitTimerTicked();

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
    // One tick of the wait timer.
    virtual void waitTick() = 0;
    virtual QString cancelMessage() const = 0;

    void setState(State state);
    void showMessage(const QString &text) { emit message(text); }
    // Closes the port, stops the timer, and reports the end: state Finished, the final message
    // line (if any), then finished(). Later calls do nothing.
    void finish(const JobResult &result, const QString &finalMessage = {});

    // The port, selected and set to the console's line settings; opened by openPort().
    comPort &port();
    void selectPort();
    void openPort();
    void closePort();
    void startWaiting(); // (re)starts the wait timer
    void stopWaiting();
    cUtility &utility();

    qint16 m_waitTicks = 0;

private:
    void disconnectOwnLine();

    qint16 m_commPort = 1;
    QPointer<comPort> m_line;
    QPointer<QTimer> m_timer;
    std::unique_ptr<comPort> m_ownLine;
    std::unique_ptr<QTimer> m_ownTimer;
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
