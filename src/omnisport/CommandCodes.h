#pragma once

#include <QStringView>

// The command codes a console frame carries at (11,3).
namespace Kavvix::CommandCodes {

inline constexpr QStringView VersionReply = u"100";   // console: its software version
inline constexpr QStringView VersionRequest = u"200"; // library: which version are you?
inline constexpr QStringView DiveResult = u"305";     // console: a judged dive
inline constexpr QStringView Response = u"900";       // console: a response code

// The dive sheet uploads: the console's dive order A to D selects the command code.
struct UploadOrder {
    char16_t letter;
    QStringView command;
};
inline constexpr UploadOrder UploadOrders[] = {
    {u'A', u"301"}, {u'B', u"302"}, {u'C', u"303"}, {u'D', u"304"}};
// The upload's command code when no dive order is chosen: dive order A.
inline constexpr QStringView DefaultUpload = UploadOrders[0].command;

inline bool isUpload(QStringView command) {
    for (const UploadOrder &order : UploadOrders)
        if (command == order.command)
            return true;
    return false;
}

// The upload command code of a dive order letter in either case; empty for anything else.
inline QStringView uploadOf(QStringView letter) {
    if (letter.size() == 1)
        for (const UploadOrder &order : UploadOrders)
            if (letter.front().toUpper() == QChar(order.letter))
                return order.command;
    return {};
}

} // namespace Kavvix::CommandCodes
