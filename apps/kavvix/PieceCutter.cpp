#include "PieceCutter.h"

namespace KavvixCli {

PieceCutter::PieceCutter(QStringList openers, qsizetype maxLength, Receiver receiver)
    : m_openers(std::move(openers)), m_maxLength(maxLength), m_receiver(std::move(receiver)) {}

std::pair<qsizetype, PieceCutter::Match> PieceCutter::nextOpener() const {
    const QStringView text(m_buffer);
    for (qsizetype i = m_scan; i < text.size(); ++i) {
        for (const QString &opener : m_openers) {
            if (text[i] != opener.front())
                continue;
            const QStringView rest = text.mid(i);
            if (rest.startsWith(opener))
                return {i, Match::Opener};
            if (rest.size() < opener.size() && QStringView(opener).startsWith(rest))
                return {i, Match::Partial};
        }
    }
    return {text.size(), Match::None};
}

void PieceCutter::deliver(qsizetype end) {
    const qsizetype length = end - m_pieceStart;
    const bool complete = !m_cutShort && length <= m_maxLength;
    m_receiver({m_buffer.mid(m_pieceStart, qMin(length, m_maxLength)), complete});
}

void PieceCutter::feed(QStringView text) {
    m_buffer.append(text);
    for (;;) {
        const auto [at, match] = nextOpener();
        if (match != Match::Opener) {
            m_scan = at;
            break;
        }
        if (m_pieceStart >= 0)
            deliver(at);
        m_pieceStart = at;
        m_cutShort = false;
        m_scan = at + 1;
    }
    compact();
}

// Drops what no piece needs any more, once per chunk rather than once per piece.
void PieceCutter::compact() {
    if (m_pieceStart < 0) {
        m_buffer.remove(0, m_scan);
        m_scan = 0;
        return;
    }
    if (m_scan - m_pieceStart > m_maxLength) {
        m_buffer = m_buffer.mid(m_pieceStart, m_maxLength) + m_buffer.mid(m_scan);
        m_scan = m_maxLength;
        m_cutShort = true;
    } else {
        m_buffer.remove(0, m_pieceStart);
        m_scan -= m_pieceStart;
    }
    m_pieceStart = 0;
}

void PieceCutter::finish() {
    if (m_pieceStart >= 0)
        deliver(m_buffer.size());
    m_buffer.clear();
    m_pieceStart = -1;
    m_scan = 0;
    m_cutShort = false;
}

} // namespace KavvixCli
