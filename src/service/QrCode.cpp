#include "QrCode.h"

#include <qrencode.h>

#include <memory>

namespace Kavvix::QrCode {

namespace {

constexpr int QuietZone = 4;

struct Free {
    void operator()(QRcode *code) const { QRcode_free(code); }
};

} // namespace

QByteArray svg(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, Free> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M));
    if (!code)
        return {};
    const int width = code->width;
    const int size = width + 2 * QuietZone;
    // One path of unit squares, one per dark module (the low bit of each byte).
    QByteArray path;
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if (code->data[y * width + x] & 1)
                path += 'M' + QByteArray::number(x + QuietZone) + ' ' +
                        QByteArray::number(y + QuietZone) + "h1v1h-1z";
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + QByteArray::number(size) +
           ' ' + QByteArray::number(size) +
           "\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" "
           "fill=\"#fff\"/><path fill=\"#000\" d=\"" +
           path + "\"/></svg>";
}

} // namespace Kavvix::QrCode
