#pragma once

#include <QStringView>

namespace Kavvix {

// The protocols describe fields by 1-based position and width; QStringView indexes from 0.
// This is the one place that converts: the count characters starting at 1-based position,
// fewer when the text ends sooner, empty when the position lies beyond the text.
inline QStringView textAt(QStringView text, qsizetype position, qsizetype count) {
    const qsizetype start = position - 1;
    if (start < 0 || start >= text.size() || count <= 0)
        return {};
    return text.mid(start, qMin(count, text.size() - start));
}

// True when the text is exactly the one character c (a longer text never is).
inline bool isOnly(QStringView text, char16_t c) {
    return text.size() == 1 && text.front() == c;
}

} // namespace Kavvix
