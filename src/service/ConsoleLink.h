#pragma once

#include "DiveRecord.h"

#include <kavvix/ConsoleJob.h>
#include <kavvix/ConsoleReader.h>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace Kavvix {

// The service's serial line to the timing console: a ConsoleReader whose judged dives come out
// with the raw frame they were cut from. A job (upload, connection test) takes the line while
// it runs and gives it back open; a line that is closed (the device went away, or a job could
// not open it) reopens, retrying every second.
class ConsoleLink : public QObject {
    Q_OBJECT

public:
    static constexpr int ReopenIntervalMs = 1000;

    explicit ConsoleLink(qint16 portNumber, QObject *parent = nullptr);
    ~ConsoleLink() override;

    // Opens the line and asks the console for its version; throws Kavvix::Error.
    void open();
    void close();

    qint16 portNumber() const { return m_reader.portNumber(); }
    bool isOpen() const { return m_reader.isOpen(); }
    QString version() const { return m_version; }
    bool jobRunning() const { return m_job != nullptr; }
    ConsoleJob *job() const { return m_job; }
    // Frames that failed their checks since the service started.
    qint64 rejectedFrames() const { return m_rejectedFrames; }
    // Started when the batch being taken in arrived: inside diveReceived, how long ago the
    // dive's frame came off the line.
    const QElapsedTimer &batchArrival() const { return m_reader.batchArrival(); }

    // Runs the job on this line; it is deleted when it has finished. False (and the job
    // deleted) while another one runs.
    bool runJob(ConsoleJob *job);
    // Called with every byte the line receives outside jobs, before the receiver sees it.
    void setByteTap(std::function<void(char)> tap);

signals:
    void diveReceived(const Kavvix::DiveRecord &record);
    void consoleChanged(bool open, const QString &version);
    void commError(const QString &text);
    // A frame that failed its checks: which check, and the frame as received.
    void frameRejected(const QString &check, const QString &frame);

private:
    void lineLost();
    void tryReopen();
    void jobFinished();

    ConsoleReader m_reader;
    QString m_version;
    QPointer<ConsoleJob> m_job;
    QTimer m_reopen;
    bool m_closing = false;
    qint64 m_rejectedFrames = 0;
};

} // namespace Kavvix
