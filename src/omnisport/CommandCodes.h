#pragma once

#include <QStringView>

// The command codes a console frame carries at (11,3).
namespace Kavvix::CommandCodes {

inline constexpr QStringView VersionReply = u"100";   // console: its software version
inline constexpr QStringView VersionRequest = u"200"; // library: which version are you?
inline constexpr QStringView DiveResult = u"305";     // console: a judged dive
inline constexpr QStringView Response = u"900";       // console: a response code

// The dive sheet uploads, one code per dive order A to D ("301" to "304").
inline bool isUpload(QStringView command) {
    return command == u"301" || command == u"302" || command == u"303" || command == u"304";
}

} // namespace Kavvix::CommandCodes
