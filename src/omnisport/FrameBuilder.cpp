// The frame every sent command travels in, and its checksum (declared in the shared module).
#include "FrameLayout.h"

#include <kavvix/modKavvix.h>

namespace Kavvix::modKavvix {

QString CalculateChecksum(QStringView text) {
    unsigned sum = 0;
    // Summed as the bytes that travel: Latin-1, where a character beyond it goes out as '?'
    // (as QString::toLatin1 sends it), so the console's sum agrees with ours.
    for (QChar c : text)
        sum = (sum + (c.unicode() <= 0xFF ? c.unicode() : u'?')) & 0xFFu;
    static constexpr char digits[] = "0123456789ABCDEF";
    QString result(FrameLayout::ChecksumWidth, QChar());
    result[0] = QLatin1Char(digits[sum >> 4]);
    result[1] = QLatin1Char(digits[sum & 0xF]);
    return result;
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
