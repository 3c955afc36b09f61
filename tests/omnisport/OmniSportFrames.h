#pragma once

#include <kavvix/modKavvix.h>

#include <QString>

namespace KavvixTest {

inline QString ctl(char16_t c) {
    return QString(QChar(c));
}

inline QString frame(const char *command, const QString &data) {
    return Kavvix::modKavvix::BuildFrame(QLatin1String(command), data);
}

// A frame with the character at 1-based position replaced (the checksum is not recomputed).
inline QString damaged(QString text, qsizetype position, QChar c) {
    text[position - 1] = c;
    return text;
}

// The frame with its checksum made right again.
inline QString resum(QString f) {
    return f.replace(f.size() - 3, 2,
                     Kavvix::modKavvix::CalculateChecksum(QStringView(f).mid(1, f.size() - 4)));
}

// A "305" frame whose data is 79 characters: data padded with blanks or cut.
inline QString diveFrame(const QString &data) {
    return frame("305", data.leftJustified(79, QLatin1Char(' '), true));
}

// Feeds text one character per call, as a serial port delivers it.
template <typename Receiver> void feed(Receiver &receiver, const QString &text) {
    for (QChar c : text)
        receiver.AddChar(QString(c));
}

} // namespace KavvixTest
