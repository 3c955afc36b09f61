#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace Kavvix::Bindings {

// Hands received bytes to a receiver (cDakProcessor or cDakResponse) in arrival order, one
// byte one character, as the serial port does. Every binding feeds a receiver through here.
template <class Receiver> void feedBytes(Receiver &receiver, const char *bytes, qsizetype size) {
    QString character(1, QChar());
    for (qsizetype i = 0; i < size; ++i) {
        character[0] = QChar(uchar(bytes[i]));
        receiver.AddChar(character);
    }
}

} // namespace Kavvix::Bindings
