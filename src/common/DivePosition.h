#pragma once

#include <QChar>
#include <QString>
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

// A dive sheet writes a dive as its number followed by one position letter ("105B").
struct DiveCode {
    QString number; // all but the last character
    QChar letter;   // the last character as written; null for an empty text
};
// The one way a dive sheet's dive number is taken apart: the last character is the position
// letter, whatever it is, and the rest is the number, as the console receives them.
inline DiveCode splitDiveNumber(const QString &diveNum) {
    if (diveNum.isEmpty())
        return {};
    return {diveNum.chopped(1), diveNum.back()};
}

} // namespace Kavvix::DivePosition
