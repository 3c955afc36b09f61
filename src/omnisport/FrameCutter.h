#pragma once

#include <QByteArray>
#include <QSharedPointer>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <functional>

namespace Kavvix {

// Cuts console frames out of a character stream: a frame runs from the latest SYN to the first
// ETB after it; a second SYN before the ETB abandons the earlier partial frame. While a frame is
// being processed (busy) every character fed is discarded.
//
// Positions are 1-based places in the receive buffer and fit 16 bits. The buffer keeps every
// character until it would pass position 32767; only then are the characters before the current
// SYN dropped (nothing before a SYN can be part of a frame), or all of them when no frame is
// being collected. A partial frame that alone would pass 32767 characters is abandoned. So a
// stream that fits sees exactly the positions it always did, and an endless one stays bounded.
// Only the partial frame's characters are kept as text: the ones before it are never read again,
// so the buffer is their count.
//
// Feeding bytes in bulk (addData) and one character at a time (addChar) are one path: the
// handlers see the same calls in the same order, and the state ends the same.
class FrameCutter {
public:
    static constexpr qsizetype MaxPosition = 32767;

    struct Handlers {
        std::function<void(qint16 position)> synFound;      // a SYN was stored at position
        std::function<void(qint16 position)> etbFound;      // an ETB after a SYN was stored
        std::function<void(const QString &frame)> frameCut; // a complete frame, while busy
    };

    explicit FrameCutter(Handlers handlers);
    ~FrameCutter();
    FrameCutter(const FrameCutter &) = delete;
    FrameCutter &operator=(const FrameCutter &) = delete;

    // Stores sChar and reports what it completes. Only a one-character text can be a SYN or ETB;
    // a longer one is stored as it stands. If a handler throws, the frame under way is abandoned
    // (flags and busy cleared) before the failure leaves this call, so the next frame is
    // understood.
    void addChar(const QString &sChar);
    // Each byte one character (Latin-1), exactly as addChar of each in turn. A handler may feed
    // more or delete the cutter's owner: the rest of the bytes follow what the handler fed, or
    // are dropped with the cutter. A handler's failure leaves here at the byte that caused it.
    void addData(const QByteArray &bytes);

    // Empties the buffer; a frame being collected in it is abandoned with it.
    void clear();
    // clear(), and characters are accepted again even while a frame is being processed.
    void reset();

    bool busy() const { return m_busy; }
    bool synFound() const { return m_synFound; }
    qint16 synPosition() const { return m_synPosition; }
    qsizetype bufferSize() const { return m_bufferSize; }
    // The frame being processed (what frameCut was given), null outside its processing.
    QString currentFrame() const { return m_currentFrame ? *m_currentFrame : QString(); }

private:
    class Completion;
    template <typename Chars> void addChars(Chars chars);
    template <typename Chars> void storeRun(Chars run);
    void store(QStringView text);
    void store(QLatin1StringView text);
    void storeSyn();
    // alive: cleared when a handler deletes the cutter.
    void storeEtb(const bool &alive);
    bool makeRoomFor(qsizetype count);
    void abandonFrame();

    Handlers m_handlers;
    // Cleared on destruction: a handler may delete the receiver that owns this cutter, and the
    // calls under way must then not touch it again.
    QSharedPointer<bool> m_alive = QSharedPointer<bool>::create(true);
    qsizetype m_bufferSize = 0;
    QString m_partialFrame; // the buffer from the SYN position on, while a SYN is found
    const QString *m_currentFrame = nullptr; // the innermost completion's frame
    bool m_synFound = false;
    bool m_etbFound = false;
    qint16 m_synPosition = 0;
    qint16 m_etbPosition = 0;
    bool m_busy = false;
};

} // namespace Kavvix
