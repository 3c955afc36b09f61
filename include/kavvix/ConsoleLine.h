#pragma once

#include <kavvix/export.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

class QTimer;

namespace Kavvix {

class comPort;

// Whoever has the line: given what it receives, in order, and told when the device goes away.
class KAVVIX_EXPORT LineHolder {
public:
    virtual ~LineHolder();
    // Bytes received while this holder has the line. Returns how many it took: a holder that
    // gave the line back in the middle of them (a job that just ended) leaves the rest to the
    // next holder.
    virtual qsizetype lineReceived(QByteArrayView bytes) = 0;
    // The device went away; the port is closed already.
    virtual void lineLost(const QString &why) = 0;
    // A tick of the line's wait timer (a job's only).
    virtual void lineWaitTicked() {}
};

// One serial line to the timing console (its port and its one-second wait timer) and the one
// who has it: its receiver between jobs, or a job (upload, connection test) for the job's
// duration. Nothing received is dropped on a hand-over: when a job takes the line, what arrived
// before goes to the receiver first; when the job gives it back in the middle of a batch, the
// rest of the batch goes to the receiver. A line with a receiver stays open between jobs; one
// without (the upload dialog's) is closed when a job gives it back.
class KAVVIX_EXPORT ConsoleLine : public QObject {
    Q_OBJECT

public:
    static constexpr int WaitIntervalMs = 1000;

    // The port and the wait timer are the line's children, named comPort and tmrWait.
    explicit ConsoleLine(QObject *parent = nullptr);
    ~ConsoleLine() override;

    comPort &port() { return *m_port; }
    const comPort &port() const { return *m_port; }
    QTimer &waitTimer() { return *m_waitTimer; }

    // The holder between jobs (none unless set); it must outlive the line or be unset first.
    void setReceiver(LineHolder *receiver) { m_receiver = receiver; }
    LineHolder *receiver() const { return m_receiver; }

    // A job takes the line; false while another job has it.
    bool take(LineHolder *job);
    // The job gives the line back: the wait timer stops, and a line without a receiver closes.
    void giveBack(LineHolder *job);
    LineHolder *job() const { return m_job; }

private:
    void deliver(const QByteArray &bytes);
    void onComm();
    LineHolder *holder() const { return m_job ? m_job : m_receiver; }

    comPort *m_port;
    QTimer *m_waitTimer;
    LineHolder *m_receiver = nullptr;
    LineHolder *m_job = nullptr;
};

} // namespace Kavvix
