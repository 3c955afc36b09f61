#pragma once

#include <kavvix/export.h>

#include <kavvix/cDiveResult.h>
#include <kavvix/cUtility.h>

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
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
    // Records of DiveResult the processor still owns at most (a meet's events, many times over).
    static constexpr int KeptResults = 4096;

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
    // oRslt is a new record without a parent, which the processor keeps: a host may keep the
    // pointer for as long as the processor lives. To bound memory over a long meet, the
    // processor keeps only its KeptResults latest records and deletes older ones; a host that
    // keeps a record longer (or beyond the processor's life) takes it by giving it a parent
    // (oRslt->setParent(owner)). A host may also delete a record it is done with.
    void DiveResult(Kavvix::cDiveResult *oRslt);
    // A frame that failed its checks, raised after its diagnostic entry (if logging is on):
    // sCheck names the first check it failed ("SYN", "ETB", "header digit", "zero field",
    // "SOH", "EOT", "checksum"), sFrame is the frame as received, SYN to ETB.
    void FrameRejected(const QString &sCheck, const QString &sFrame);

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
    std::deque<QPointer<cDiveResult>> m_results; // raised, oldest first
};

} // namespace Kavvix
