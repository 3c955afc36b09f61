#pragma once

// Readable GoogleTest failure messages for Qt text. GoogleTest would print a QString as a
// container of raw UTF-16 units; PrintTo takes precedence, and lists of QString print element
// by element through it. operator<< serves messages streamed into assertions. Included into
// every test translation unit by the test support target.
#include <QString>

#include <ostream>

inline std::ostream &operator<<(std::ostream &os, const QString &text) {
    return os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << text;
}
