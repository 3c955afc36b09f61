#include "FrameCutter.h"

#include "common/TextPosition.h"

#include <kavvix/modKavvix.h>

namespace Kavvix {

// Ends the completion of a frame however it ends: normally, or by a handler's failure (a log
// writer that throws), so the cutter is never left busy or holding a finished frame.
class FrameCutter::Completion {
public:
    explicit Completion(FrameCutter &cutter) : m_cutter(cutter), m_alive(cutter.m_alive) {}
    ~Completion() {
        if (!*m_alive)
            return; // deleted by its owner's event handler
        m_cutter.m_synFound = false;
        m_cutter.m_etbFound = false;
        m_cutter.m_busy = false;
    }
    Completion(const Completion &) = delete;
    Completion &operator=(const Completion &) = delete;

private:
    FrameCutter &m_cutter;
    QSharedPointer<bool> m_alive;
};

FrameCutter::FrameCutter(Handlers handlers) : m_handlers(std::move(handlers)) {
    m_buffer.reserve(256);
}

FrameCutter::~FrameCutter() {
    *m_alive = false;
}

void FrameCutter::addChar(const QString &sChar) {
    if (m_busy)
        return;
    if (!makeRoomFor(sChar.size()))
        return;
    m_buffer.append(sChar);
    const auto position = static_cast<qint16>(m_buffer.size());
    if (isOnly(sChar, modKavvix::SYN)) {
        m_synFound = true;
        m_synPosition = position;
        m_etbFound = false;
        if (m_handlers.synFound)
            m_handlers.synFound(position);
        return;
    }
    if (!isOnly(sChar, modKavvix::ETB) || !m_synFound)
        return; // an ETB without a SYN before it is only stored

    Completion completion(*this);
    m_etbFound = true;
    m_etbPosition = position;
    if (m_handlers.etbFound)
        m_handlers.etbFound(position);
    // A copy: processing may empty the buffer (and characters fed meanwhile refill it).
    const QString frame =
        textAt(m_buffer, m_synPosition, m_etbPosition - m_synPosition + 1).toString();
    m_busy = true;
    if (m_handlers.frameCut)
        m_handlers.frameCut(frame);
}

void FrameCutter::clear() {
    m_buffer.truncate(0); // keeps the capacity
    abandonFrame();
}

void FrameCutter::reset() {
    clear();
    m_busy = false;
}

void FrameCutter::abandonFrame() {
    m_synFound = false;
    m_etbFound = false;
    m_synPosition = 0;
    m_etbPosition = 0;
}

// Called before storing count characters; false when they need not be stored at all.
bool FrameCutter::makeRoomFor(qsizetype count) {
    if (m_buffer.size() + count <= MaxPosition)
        return true;
    if (m_synFound && m_synPosition > 1) {
        m_buffer.remove(0, m_synPosition - 1);
        m_synPosition = 1;
    } else if (!m_synFound) {
        m_buffer.truncate(0);
    }
    if (m_buffer.size() + count <= MaxPosition)
        return true;
    clear(); // the partial frame alone would outgrow the positions: it can never be cut
    // Without a SYN before it, text that does not fit can never be part of a frame.
    return count <= MaxPosition;
}

} // namespace Kavvix
