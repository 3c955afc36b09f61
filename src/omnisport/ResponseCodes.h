#pragma once

#include <QString>
#include <QStringView>

// The response codes a console "900" frame carries at (14,2).
namespace Kavvix::ResponseCodes {

inline constexpr QStringView Accepted = u"00";             // frame accepted
inline constexpr QStringView ReceivedSuccessfully = u"07"; // positive, never an error

// The error text of codes "01" to "06" ("Buffer Overrun", ...); a null text for any other code.
QString errorText(QStringView code);

} // namespace Kavvix::ResponseCodes
