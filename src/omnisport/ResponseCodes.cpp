#include "ResponseCodes.h"

namespace Kavvix::ResponseCodes {

QString errorText(QStringView code) {
    static constexpr struct {
        QStringView code;
        const char *text;
    } errors[] = {
        {u"01", "Buffer Overrun"},      {u"02", "Checksum Error"},
        {u"03", "Invalid Packet Type"}, {u"04", "Invalid Filename"},
        {u"05", "Record Not Found"},    {u"06", "Not ready to Receive Data"},
    };
    for (const auto &e : errors)
        if (code == e.code)
            return QString::fromLatin1(e.text);
    return QString();
}

} // namespace Kavvix::ResponseCodes
