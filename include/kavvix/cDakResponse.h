#pragma once

#include <kavvix/export.h>

#include <QObject>
#include <QString>

#include <memory>

namespace Kavvix {

class FrameCutter;

// Listens for the timing console's answers to the frames an upload sends. Feed every received
// character to AddChar (or what was received in bulk to AddData); a "900" frame raises ResponseOK
// for "00" (and for one "07" after it) or PacketError for an error code; a damaged frame raises
// PacketError. Other frames are ignored. Events are raised synchronously from inside AddChar.
// Writes no diagnostic log.
class KAVVIX_EXPORT cDakResponse : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE explicit cDakResponse(QObject *parent = nullptr);
    ~cDakResponse() override;

    Q_INVOKABLE void AddChar(const QString &sChar);
    // Each byte one character (Latin-1): the same events and state as AddChar of each byte in
    // turn. A handler may feed more (it follows the bytes before it) or delete the receiver.
    Q_INVOKABLE void AddData(const QByteArray &bytes);
    // Empties the receive buffer (abandoning a frame being collected), forgets a pending "00"
    // and accepts characters again, even from inside an event handler.
    Q_INVOKABLE void Reset();

    // The response code of the last frame refused with an error code ("01" to "06"); empty
    // when the last PacketError was for a damaged frame, or before any.
    QString rejectedCode() const { return m_rejectedCode; }

signals:
    void PacketError(const QString &sErrMessage);
    void ResponseOK();

private:
    void processResponseCode(const QString &frame);

    std::unique_ptr<FrameCutter> m_cutter;
    QString m_rejectedCode;
    bool m_acknowledged = false; // a "00" arrived and no "07" or Reset has consumed it
};

} // namespace Kavvix
