#pragma once

#include "FrameLayout.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace Kavvix {

class cDiveResult;

// The "305" frame of a judged dive. One table of its 23 fields serves both directions: the
// receiver decodes with it and the simulator encodes with it.
namespace DiveResultFrame {

inline constexpr qsizetype DataWidth = 79;
inline constexpr qsizetype Length = FrameLayout::Overhead + DataWidth;

// Fills rslt field by field from a frame of Length characters. step follows the field being
// read (50 for the event number ... 270 for the total score), so when a conversion throws
// (Kavvix::Error, numeric overflow) it names the field that failed.
void decode(QStringView frame, cDiveResult &rslt, qint32 &step);

// The whole frame of a record: numbers zero-filled, scores with their decimals, texts
// blank-padded (the dive number on the left, the others on the right); each field cut to its
// width.
QString encode(const cDiveResult &rslt);

} // namespace DiveResultFrame
} // namespace Kavvix
