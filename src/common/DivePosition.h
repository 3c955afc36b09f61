#pragma once

#include <QChar>
#include <QtGlobal>

#include <optional>

// The four dive positions: straight, pike, tuck and free. The meet manager writes them A to D;
// consoles may send the initials S, P, T and F instead. The upload frames carry their index.
namespace Kavvix::DivePosition {

// The index (0 to 3) of a position letter of either form, in either case; none for any other
// character.
std::optional<qint16> indexOf(QChar letter);

// The meet manager's letter of index 0 to 3.
QChar letterOf(qint16 index);

} // namespace Kavvix::DivePosition
