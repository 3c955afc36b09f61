#include <kavvix/modKavvix.h>
#include <kavvix/version.h>

namespace Kavvix::modKavvix {

QString DLLVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(KAVVIX_VERSION_MAJOR)
        .arg(KAVVIX_VERSION_MINOR)
        .arg(KAVVIX_VERSION_REVISION);
}

qint32 LastPositionOf(const QString &sChar, const QString &sText) {
    if (sChar.size() != 1 || sText.isEmpty())
        return 0; // only a single character can equal a one-character text
    // lastIndexOf gives a 0-based index or -1; +1 turns both into the 1-based result.
    return static_cast<qint32>(sText.lastIndexOf(sChar.at(0)) + 1);
}

QString CalculateChecksum(QStringView text) {
    unsigned sum = 0;
    // Summed as the bytes that travel: Latin-1, where a character beyond it goes out as '?'
    // (as QString::toLatin1 sends it), so the console's sum agrees with ours.
    for (QChar c : text)
        sum = (sum + (c.unicode() <= 0xFF ? c.unicode() : u'?')) & 0xFFu;
    static constexpr char digits[] = "0123456789ABCDEF";
    QString result(2, QChar());
    result[0] = QLatin1Char(digits[sum >> 4]);
    result[1] = QLatin1Char(digits[sum & 0xF]);
    return result;
}

QString BuildFrame(const QString &command, const QString &data) {
    QString frame;
    frame.reserve(17 + data.size());
    frame += QChar(SYN);
    frame += QChar(HeaderDigit);
    frame += ZeroField;
    frame += QChar(SOH);
    frame += command;
    frame += data;
    frame += QChar(EOT);
    frame += CalculateChecksum(QStringView(frame).mid(1));
    frame += QChar(ETB);
    return frame;
}

} // namespace Kavvix::modKavvix
