#pragma once

#include <kavvix/modKavvix.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <charconv>

namespace KavvixTest {

inline QString ch(char16_t c) {
    return QString(QChar(c));
}

// The worked Colorado record, 18 items.
inline QStringList coloradoItems() {
    return QString("DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7")
        .split(',');
}

// Control-character form: STX, one framing character, the record, one framing character, EOT.
inline QString stxFrame(const QString &record) {
    return "junk" + ch(Kavvix::modKavvix::STX) + "x" + record + "y" + ch(Kavvix::modKavvix::EOT) +
           "tail";
}

// A Daktronics score-data packet carrying text from a 0-based record offset.
inline QString dakPacket(int offset, const QString &text) {
    using namespace Kavvix::modKavvix;
    return ch(SOH) + "00421" + QStringLiteral("%1").arg(offset, 5, 10, QChar(u'0')) + ch(STX) +
           text + ch(EOT) + "5A";
}

// What ParseData returns for a failure: error is "(code) description".
inline QString failure(const QString &input, const QString &error) {
    return " Internal error encountered while processing data received. The data received was <" +
           input + ">. The error reported was " + error;
}

// A property value as text; a float in its shortest form, so 155.7f reads "155.7".
inline QString valueText(const QVariant &value) {
    if (value.metaType().id() != QMetaType::Float)
        return value.toString();
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value.toFloat()).ptr;
    return QString::fromLatin1(digits, end - digits);
}

// The named properties' values (names separated by spaces), joined by "|".
inline QString fields(const QObject &object, const QString &names) {
    QStringList values;
    for (const QString &name : names.split(' '))
        values << valueText(object.property(name.toLatin1()));
    return values.join('|');
}

} // namespace KavvixTest
