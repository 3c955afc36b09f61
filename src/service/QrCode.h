#pragma once

#include <QByteArray>
#include <QString>

namespace Kavvix {

// A QR code as an SVG picture, drawn by the service itself so that no page needs a script from
// elsewhere to show one.
namespace QrCode {

// The SVG of text (error correction level M, a quiet zone of four modules); empty when the text
// does not fit in a QR code.
QByteArray svg(const QString &text);

} // namespace QrCode

} // namespace Kavvix
