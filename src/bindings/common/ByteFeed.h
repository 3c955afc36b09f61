#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace Kavvix::Bindings {

// Hands received bytes to a receiver (cDakProcessor or cDakResponse) in arrival order, one
// byte one character, as the serial port does. Every binding feeds a receiver through here.
template <class Receiver> void feedBytes(Receiver &receiver, const char *bytes, qsizetype size) {
    receiver.AddData(QByteArray(bytes, size));
}

} // namespace Kavvix::Bindings
