#include "FrameCutter.h"

#include <kavvix/modKavvix.h>

namespace Kavvix {

namespace {

// SYN (22) and ETB (23) differ only in the lowest bit.
constexpr char16_t BoundaryBits = modKavvix::ETB;
static_assert((modKavvix::SYN | 1) == BoundaryBits);

bool isBoundary(char16_t c) {
    return (c | 1) == BoundaryBits;
}

char16_t unicodeOf(QChar c) {
    return c.unicode();
}
char16_t unicodeOf(QLatin1Char c) {
    return c.unicode();
}

// Index of the first SYN or ETB at or after from, the size when there is none.
template <typename Chars> qsizetype nextBoundary(Chars chars, qsizetype from) {
    const qsizetype size = chars.size();
    while (from < size && !isBoundary(unicodeOf(chars[from])))
        ++from;
    return from;
}

} // namespace

// Ends the completion of a frame however it ends: normally, or by a handler's failure (a log
// writer that throws), so the cutter is never left busy or holding a finished frame.
class FrameCutter::Completion {
public:
    Completion(FrameCutter &cutter, const bool &alive)
        : m_cutter(cutter), m_alive(alive), m_outerFrame(cutter.m_currentFrame) {}
    ~Completion() {
        if (!m_alive)
            return; // deleted by its owner's event handler
        m_cutter.m_synFound = false;
        m_cutter.m_etbFound = false;
        m_cutter.m_busy = false;
        m_cutter.m_currentFrame = m_outerFrame;
        // The partial frame means nothing now; its text goes back only to keep the capacity.
        if (m_cutter.m_partialFrame.isNull())
            m_cutter.m_partialFrame = std::move(m_frame);
    }
    Completion(const Completion &) = delete;
    Completion &operator=(const Completion &) = delete;

    // The frame moves out of the buffer: what a handler feeds meanwhile cannot change it.
    void process() {
        m_frame = std::move(m_cutter.m_partialFrame);
        m_cutter.m_currentFrame = &m_frame;
        m_cutter.m_busy = true;
        if (m_cutter.m_handlers.frameCut)
            m_cutter.m_handlers.frameCut(m_frame);
    }

private:
    FrameCutter &m_cutter;
    const bool &m_alive;
    QString m_frame;
    // The frame of an outer completion (a handler fed a whole frame) comes back afterwards.
    const QString *m_outerFrame;
};

FrameCutter::FrameCutter(Handlers handlers) : m_handlers(std::move(handlers)) {
    m_partialFrame.reserve(256);
}

FrameCutter::~FrameCutter() {
    *m_alive = false;
}

void FrameCutter::addChar(const QString &sChar) {
    if (sChar.size() == 1) {
        addChars(QStringView(sChar));
        return;
    }
    // A longer text is one stored unit, never a frame boundary.
    if (!m_busy && makeRoomFor(sChar.size()))
        store(sChar);
}

void FrameCutter::addData(const QByteArray &bytes) {
    // A handler may change the caller's array; this copy (shared, not copied) stays as it was.
    const QByteArray kept = bytes;
    addChars(QLatin1StringView(kept.data(), kept.size()));
}

// Each character in turn, the characters between boundaries stored a run at a time. Every
// piece of state is read afresh after a handler returns: it may have fed more, or cleared.
template <typename Chars> void FrameCutter::addChars(Chars chars) {
    QSharedPointer<bool> alive; // taken at the first boundary, whose handlers may delete us
    for (qsizetype at = 0; at < chars.size() && !m_busy;) {
        const qsizetype boundary = nextBoundary(chars, at);
        storeRun(chars.sliced(at, boundary - at));
        if (boundary == chars.size())
            return;
        at = boundary + 1;
        if (!alive)
            alive = m_alive;
        if (unicodeOf(chars[boundary]) == modKavvix::SYN)
            storeSyn();
        else
            storeEtb(*alive);
        if (!*alive)
            return;
    }
}

// Characters that are no frame boundary, stored as one at a time would be: the buffer is made
// room for at the character that would pass the last position.
template <typename Chars> void FrameCutter::storeRun(Chars run) {
    while (!run.isEmpty()) {
        if (m_bufferSize == MaxPosition)
            makeRoomFor(1);
        const qsizetype fitting = qMin(run.size(), MaxPosition - m_bufferSize);
        store(run.first(fitting));
        run = run.sliced(fitting);
    }
}

void FrameCutter::store(QStringView text) {
    m_bufferSize += text.size();
    if (m_synFound)
        m_partialFrame.append(text);
}

void FrameCutter::store(QLatin1StringView text) {
    m_bufferSize += text.size();
    if (m_synFound)
        m_partialFrame.append(text);
}

void FrameCutter::storeSyn() {
    makeRoomFor(1);
    ++m_bufferSize;
    const auto position = static_cast<qint16>(m_bufferSize);
    m_partialFrame.truncate(0); // keeps the capacity
    m_partialFrame.append(QChar(modKavvix::SYN));
    m_synFound = true;
    m_synPosition = position;
    m_etbFound = false;
    if (m_handlers.synFound)
        m_handlers.synFound(position);
}

void FrameCutter::storeEtb(const bool &alive) {
    makeRoomFor(1);
    ++m_bufferSize;
    if (!m_synFound)
        return; // an ETB without a SYN before it is only stored
    m_partialFrame.append(QChar(modKavvix::ETB));
    const auto position = static_cast<qint16>(m_bufferSize);

    Completion completion(*this, alive);
    m_etbFound = true;
    m_etbPosition = position;
    if (m_handlers.etbFound)
        m_handlers.etbFound(position);
    if (alive)
        completion.process();
}

void FrameCutter::clear() {
    m_bufferSize = 0;
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
    // The partial frame's text is left as it is: it means nothing without a SYN found, and the
    // next SYN starts it afresh in the same memory.
}

// Called before storing count characters; false when they need not be stored at all.
bool FrameCutter::makeRoomFor(qsizetype count) {
    if (m_bufferSize + count <= MaxPosition)
        return true;
    if (m_synFound && m_synPosition > 1) {
        m_bufferSize -= m_synPosition - 1;
        m_synPosition = 1;
    } else if (!m_synFound) {
        m_bufferSize = 0;
    }
    if (m_bufferSize + count <= MaxPosition)
        return true;
    clear(); // the partial frame alone would outgrow the positions: it can never be cut
    // Without a SYN before it, text that does not fit can never be part of a frame.
    return count <= MaxPosition;
}

} // namespace Kavvix
