#pragma once

#include <kavvix/export.h>

#include <kavvix/cDiveResult.h>
#include <kavvix/cUtility.h>

#include <QObject>
#include <QString>

#include <memory>

namespace Kavvix {

class FrameCutter;
struct FrameVerification;

// Turns the character stream of the timing console into events. Feed every received character
// to AddChar, or what was received in bulk to AddData; a complete, valid frame raises
// SoftwareVersion ("100"), DiveResult ("305") or COMMError (a console error code or an unusable
// reply), synchronously from inside that call. Characters fed from a handler while a frame is
// being processed are discarded.
//
// While modKavvix::DebugEnabled() is true each step writes a diagnostic entry through the
// cUtility created at construction; while it is false that object is never called. A log
// writer's failure leaves AddChar as the writer's exception, and the next frame is understood.
//
// Memory stays bounded on an endless stream: once the receive buffer would pass 32767
// positions, the characters before the frame being collected are dropped (a frame that alone
// would pass that length is abandoned); shorter streams keep every position as it was.
class KAVVIX_EXPORT cDakProcessor : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE explicit cDakProcessor(QObject *parent = nullptr);
    ~cDakProcessor() override;

    Q_INVOKABLE void AddChar(const QString &sChar);
    // Each byte one character (Latin-1): the same events, log entries and state as AddChar of
    // each byte in turn, without a text per character. A handler may feed more (it follows the
    // bytes before it) or delete the processor (the rest is dropped); a log writer's failure
    // leaves here at the byte that caused it, and the bytes after it are not taken.
    Q_INVOKABLE void AddData(const QByteArray &bytes);
    // The software version request frame ("200", no data): 17 characters to send as they are.
    Q_INVOKABLE QString SoftwareVersionRequest() const;
    // The frame whose events are being raised, SYN to ETB, as it was received; empty outside
    // its handlers.
    QString currentFrame() const;

signals:
    void SoftwareVersion(const QString &sVersion);
    void COMMError(const QString &sErrMessage);
    // oRslt is a new record without a parent, valid while the handlers run (connect directly,
    // not queued). A handler that keeps it gives it a parent (oRslt->setParent(owner)) or
    // deletes it itself; a record nobody kept is deleted when the handlers have returned.
    void DiveResult(Kavvix::cDiveResult *oRslt);

private:
    void logFailedChecks(const QString &frame, const FrameVerification &checks);
    void logUnknownCommand(const QString &frame);
    void getVersionInformation(const QString &frame);
    void processResponseCode(const QString &frame);
    void processDiveResult(const QString &frame);
    void raiseDiveResult(std::unique_ptr<cDiveResult> record);
    // Writes one entry (level 0); callers check DebugEnabled first.
    void writeLog(qint32 number, const QString &procedure, const QString &message);

    std::unique_ptr<FrameCutter> m_cutter;
    std::unique_ptr<cUtility> m_utility;
};

} // namespace Kavvix
