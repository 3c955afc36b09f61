#pragma once

#include "common/TextPosition.h"

#include <QStringView>

// Where the fields of a console frame lie, as 1-based positions (the notation of the
// diagnostics): SYN, header digit, zero field, SOH, command code, data, EOT, checksum, ETB.
namespace Kavvix::FrameLayout {

inline constexpr qsizetype HeaderDigitPosition = 2;
inline constexpr qsizetype ZeroFieldPosition = 3;
inline constexpr qsizetype SohPosition = 10;
inline constexpr qsizetype CommandPosition = 11;
inline constexpr qsizetype CommandWidth = 3;
inline constexpr qsizetype DataPosition = 14;
// Every character of a frame but its data: 13 before it; EOT, checksum and ETB after it.
inline constexpr qsizetype Overhead = 17;

// From the end of a frame of the given length: EOT, then the two checksum digits, then ETB.
inline constexpr qsizetype eotPosition(qsizetype length) {
    return length - 3;
}
inline constexpr qsizetype checksumPosition(qsizetype length) {
    return length - 2;
}
inline constexpr qsizetype ChecksumWidth = 2;

// The checksum of the characters as two upper-case hexadecimal digits: their 8-bit additive sum,
// each counted as the byte that travels (Latin-1; a character beyond it goes out as '?').
struct ChecksumDigits {
    char16_t high;
    char16_t low;
};
inline ChecksumDigits checksumDigits(QStringView text) {
    unsigned sum = 0;
    for (QChar c : text)
        sum += c.unicode() <= 0xFF ? c.unicode() : u'?';
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    return {digits[(sum >> 4) & 0xF], digits[sum & 0xF]};
}

// A "900" frame's data opens with its response code.
inline constexpr qsizetype ResponseCodeWidth = 2;
// A "100" frame's data is the version text, blank-padded.
inline constexpr qsizetype VersionTextWidth = 40;

inline QStringView commandOf(QStringView frame) {
    return textAt(frame, CommandPosition, CommandWidth);
}
inline QStringView dataOf(QStringView frame) {
    return textAt(frame, DataPosition, frame.size() - Overhead);
}
inline QStringView responseCodeOf(QStringView frame) {
    return textAt(frame, DataPosition, ResponseCodeWidth);
}

} // namespace Kavvix::FrameLayout
