#pragma once

#include <QSharedPointer>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace Kavvix {

// Cuts console frames out of a character stream fed one character at a time: a frame runs from
// the latest SYN to the first ETB after it; a second SYN before the ETB abandons the earlier
// partial frame. While a frame is being processed (busy) every character fed is discarded.
//
// Positions are 1-based places in the receive buffer and fit 16 bits. The buffer keeps every
// character until it would pass position 32767; only then are the characters before the current
// SYN dropped (nothing before a SYN can be part of a frame), or all of them when no frame is
// being collected. A partial frame that alone would pass 32767 characters is abandoned. So a
// stream that fits sees exactly the positions it always did, and an endless one stays bounded.
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

    // Empties the buffer; a frame being collected in it is abandoned with it.
    void clear();
    // clear(), and characters are accepted again even while a frame is being processed.
    void reset();

    bool busy() const { return m_busy; }
    bool synFound() const { return m_synFound; }
    qint16 synPosition() const { return m_synPosition; }
    qsizetype bufferSize() const { return m_buffer.size(); }

private:
    class Completion;
    bool makeRoomFor(qsizetype count);
    void abandonFrame();

    Handlers m_handlers;
    // Cleared on destruction: a handler may delete the receiver that owns this cutter while
    // its frame is being processed, and the cutter must then not touch itself afterwards.
    QSharedPointer<bool> m_alive = QSharedPointer<bool>::create(true);
    QString m_buffer;
    bool m_synFound = false;
    bool m_etbFound = false;
    qint16 m_synPosition = 0;
    qint16 m_etbPosition = 0;
    bool m_busy = false;
};

} // namespace Kavvix
