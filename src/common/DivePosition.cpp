#include "DivePosition.h"

namespace Kavvix::DivePosition {

namespace {

constexpr char16_t Letters[] = u"ABCD";
constexpr char16_t Initials[] = u"SPTF";
constexpr qint16 Count = 4;

} // namespace

std::optional<qint16> indexOf(QChar letter) {
    const char16_t upper = letter.toUpper().unicode();
    for (qint16 index = 0; index < Count; ++index)
        if (upper == Letters[index] || upper == Initials[index])
            return index;
    return std::nullopt;
}

QChar letterOf(qint16 index) {
    return QChar(Letters[index]);
}

} // namespace Kavvix::DivePosition
