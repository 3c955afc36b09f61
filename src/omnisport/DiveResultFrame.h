#pragma once

#include <QStringView>
#include <QtGlobal>

namespace Kavvix {

class cDiveResult;

// The "305" frame of a judged dive.
namespace DiveResultFrame {

inline constexpr qsizetype Length = 96;

// Fills rslt field by field from a frame of Length characters. step follows the field being
// read (50 for the event number ... 270 for the total score), so when a conversion throws
// (Kavvix::Error, numeric overflow) it names the field that failed.
void decode(QStringView frame, cDiveResult &rslt, qint32 &step);

} // namespace DiveResultFrame
} // namespace Kavvix
