#pragma once

#include "common/NumericText.h"

#include <kavvix/Error.h>

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Text helpers the two parsers share.
namespace Kavvix::Parsers {

// 1-based position of the first occurrence of what in text at or after fromPosition; 0 when
// there is none.
template <typename Needle>
qsizetype positionOf(QStringView text, Needle what, qsizetype fromPosition = 1) {
    return text.indexOf(what, fromPosition - 1) + 1;
}

// The numeric value of a field, rounded to a 16-bit integer / as the nearest 32-bit float;
// both throw Error (numeric overflow) out of range. Inline: a record has sixteen of them.
inline qint16 toInt16(QStringView field) {
    return NumericText::roundToInt16(NumericText::valueOf(field));
}
inline float toFloat(QStringView field) {
    return NumericText::toSingle(NumericText::valueOf(field));
}

// The text without its leading and trailing spaces (only the space character counts).
QStringView trimSpaces(QStringView text);

// What ParseData returns when a failure interrupts it.
QString internalErrorMessage(const QString &dataReceived, const Error &error);

} // namespace Kavvix::Parsers
