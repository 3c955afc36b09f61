#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <cmath>
#include <limits>

// The numeric rules shared by every reader of console text and database values.
namespace Kavvix::NumericText {

// The blanks that the numeric rule skips and received texts are trimmed of.
inline bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The leading number of a text: blanks (space, tab, line feed) are skipped wherever they stand;
// an optional sign, digits with at most one '.', an optional exponent (E, optional sign,
// digits); or &H / &O followed by hexadecimal / octal digits. 0 when there is no number.
// A number beyond the range of a double throws Error (numeric overflow).
double valueOf(QStringView text);

// Nearest integer, halves to the even neighbour; throws Error (numeric overflow) out of range.
qint16 roundToInt16(double value);
qint32 roundToInt32(double value);

// Nearest 32-bit float; throws Error (numeric overflow) beyond the float range. The common case
// inline, the rest in nearestSingleBeyondRange.
float nearestSingleBeyondRange(double value);
inline float toSingle(double value) {
    if (std::fabs(value) <= std::numeric_limits<float>::max())
        return static_cast<float>(value);
    return nearestSingleBeyondRange(value);
}

// Shortest decimal text: no leading zeros, no point for whole numbers, no trailing zeros;
// followed by suffix, made at once, in storage's memory where it can be reused (ReusedText.h).
QString plainDecimal(double value, QStringView suffix = {}, QString storage = {});

} // namespace Kavvix::NumericText
