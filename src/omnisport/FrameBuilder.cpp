// The frame every sent command travels in, and its checksum (declared in the shared module).
#include "FrameLayout.h"

#include <kavvix/modKavvix.h>

namespace Kavvix::modKavvix {

QString CalculateChecksum(QStringView text) {
    // Summed as the bytes that travel (QString::toLatin1 sends '?' beyond Latin-1), so the
    // console's sum agrees with ours.
    const FrameLayout::ChecksumDigits digits = FrameLayout::checksumDigits(text);
    const QChar result[] = {digits.high, digits.low};
    return QString(result, FrameLayout::ChecksumWidth);
}

QString BuildFrame(const QString &command, const QString &data) {
    QString frame;
    frame.reserve(FrameLayout::Overhead + data.size());
    frame += QChar(SYN);
    frame += QChar(HeaderDigit);
    frame += ZeroField;
    frame += QChar(SOH);
    frame += command;
    frame += data;
    frame += QChar(EOT);
    frame += CalculateChecksum(QStringView(frame).mid(FrameLayout::HeaderDigitPosition - 1));
    frame += QChar(ETB);
    return frame;
}

} // namespace Kavvix::modKavvix
