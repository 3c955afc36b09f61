#pragma once

#include <kavvix/ConsoleJob.h>

#include <QSqlDatabase>
#include <QStringList>

#include <memory>

namespace Kavvix {

class cDakResponse;

// Uploads one event's dive sheets to the timing console: checks the event, builds the frames,
// opens the port and sends frame after frame, each only once the console has acknowledged the
// one before. Ends with Sent after the last acknowledgement ("All data has been sent"),
// Rejected when the console refuses a frame or answers unreadably, NoAnswer after seven ticks
// of silence, PortUnavailable, LineLost, ValidationFailed, Failed or Aborted. Nothing is ever
// retried: the operator starts a new upload.
class KAVVIX_EXPORT UploadJob : public ConsoleJob {
    Q_OBJECT

public:
    // The 7th tick after a frame ends the wait.
    static constexpr qint16 TimeoutTicks = 6;
    static inline const QString AllDataSent = QStringLiteral("All data has been sent");

    // The meet database stays the caller's; it must stay open while the job runs.
    UploadJob(const QSqlDatabase &odbConn, const QString &sMeetID, const QString &sEventID,
              QObject *parent = nullptr);
    ~UploadJob() override;

    // The console's dive order: command code "301" to "304" (dive order A to D); "301" unless
    // set.
    void setDiveOrderCommand(const QString &command) { m_diveOrderCommand = command; }
    // The command code of a dive order letter A-D (either case); empty for anything else.
    static QString diveOrderCommand(const QString &letter);

    const QString &meetId() const { return m_meetId; }
    const QString &eventId() const { return m_eventId; }
    // The frames built for the upload, and how many of them were sent so far.
    const QStringList &frames() const { return m_frames; }
    qint16 framesSent() const { return m_lastSent + 1; }
    // The frames to send: those built, up to the first empty one.
    qint16 framesToSend() const;

signals:
    // An unexpected failure that the operator must acknowledge (the dialog shows it in a box);
    // the job finishes right after.
    void alert(const QString &title, const QString &text);
    // The console acknowledged frame n (1-based).
    void frameAcknowledged(int frame);
    // Frame number sent (1-based) has been written, of total frames to send.
    void progress(int sent, int total);

protected:
    void run() override;
    void receiveChar(const QString &c) override;
    qint16 timeoutTicks() const override { return TimeoutTicks; }
    void waitTimedOut() override;
    QString cancelMessage() const override;

private:
    bool UploadEvent();
    void SendNextPacket();
    void m_oDakResp_ResponseOK();
    void m_oDakResp_PacketError(const QString &sErrMessage);
    void fail(JobResult::Kind kind, const QString &description);

    QSqlDatabase m_db;
    QString m_meetId;
    QString m_eventId;
    QString m_diveOrderCommand;
    QStringList m_frames;
    qint16 m_lastSent = -1; // index of the frame sent last
    std::unique_ptr<cDakResponse> m_receiver;
};

} // namespace Kavvix
