#pragma once

#include "DiveRecord.h"

#include <kavvix/ConsoleJob.h>
#include <kavvix/ConsoleReader.h>

#include <QDateTime>
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
    // The line is up while the service holds the device open, for its receiver or taken by a
    // job; it is down from the moment the device went away until it could be opened again.
    bool isOpen() const { return m_lineUp; }
    // When the line last came up or went down (UTC).
    QDateTime since() const { return m_since; }
    // Whether the console has sent a frame that passed its checks since the line was
    // (re)opened.
    bool answering() const { return m_answering; }
    // The console's version as it last said; current only while it has answered the version
    // request of the line's latest opening.
    QString version() const { return m_version; }
    bool versionCurrent() const { return m_versionCurrent; }
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
    // The line came up or went down, the console answered, or said its version.
    void consoleChanged(bool open, const QString &version);
    void commError(const QString &text);
    // A frame that failed its checks: which check, and the frame as received.
    void frameRejected(const QString &check, const QString &frame);

private:
    void lineLost();
    void tryReopen();
    void jobFinished();
    void setLineUp(bool up);
    void heardConsole();

    ConsoleReader m_reader;
    QString m_version;
    bool m_versionCurrent = false;
    bool m_lineUp = false;
    bool m_answering = false;
    QDateTime m_since = QDateTime::currentDateTimeUtc();
    QPointer<ConsoleJob> m_job;
    QTimer m_reopen;
    bool m_closing = false;
    qint64 m_rejectedFrames = 0;
};

} // namespace Kavvix
