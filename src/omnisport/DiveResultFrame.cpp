#include "DiveResultFrame.h"

#include "CommandCodes.h"
#include "common/NumericText.h"

#include <kavvix/cDiveResult.h>
#include <kavvix/modKavvix.h>

namespace Kavvix::DiveResultFrame {

namespace {

using R = cDiveResult;

// One field: where it lies in the frame and how it converts to and from its property.
struct Field {
    qint32 step; // names the field when reading it fails
    qsizetype position;
    qsizetype width;
    void (*read)(QStringView text, R &rslt);
    QString (*write)(const R &rslt, qsizetype width);
};

enum class Padding { Right, Left };

template <auto Set, auto Get, Padding padding = Padding::Right>
constexpr Field text(qint32 step, qsizetype position, qsizetype width) {
    return {step, position, width, [](QStringView text, R &rslt) { (rslt.*Set)(text.toString()); },
            [](const R &rslt, qsizetype width) {
                const QString value = (rslt.*Get)();
                return padding == Padding::Right ? value.leftJustified(width, u' ', true)
                                                 : value.rightJustified(width, u' ', true);
            }};
}

template <auto Set, auto Get>
constexpr Field number(qint32 step, qsizetype position, qsizetype width) {
    return {step, position, width,
            [](QStringView text, R &rslt) {
                (rslt.*Set)(NumericText::roundToInt16(NumericText::valueOf(text)));
            },
            [](const R &rslt, qsizetype width) {
                return QStringLiteral("%1")
                    .arg((rslt.*Get)(), int(width), 10, QLatin1Char('0'))
                    .right(width);
            }};
}

template <auto Set, auto Get, int Decimals>
constexpr Field score(qint32 step, qsizetype position, qsizetype width) {
    return {step, position, width,
            [](QStringView text, R &rslt) {
                (rslt.*Set)(NumericText::toSingle(NumericText::valueOf(text)));
            },
            [](const R &rslt, qsizetype width) {
                return QStringLiteral("%1")
                    .arg(double((rslt.*Get)()), int(width), 'f', Decimals)
                    .right(width);
            }};
}

// In the order they are read; the board level comes before the judges' scores in the frame.
constexpr Field Fields[] = {
    number<&R::setEventNumberN, &R::EventNumberN>(50, 14, 3),
    text<&R::setEventNumberA, &R::EventNumberA>(60, 17, 1),
    text<&R::setStage, &R::Stage>(70, 18, 1),
    text<&R::setInsertOrder, &R::InsertOrder>(80, 19, 1),
    number<&R::setDiveRound, &R::DiveRound>(90, 20, 2),
    number<&R::setDivingOrder, &R::DivingOrder>(100, 22, 4),
    text<&R::setDiveNumber, &R::DiveNumber, Padding::Left>(110, 26, 4),
    text<&R::setDivePos, &R::DivePos>(120, 30, 1),
    score<&R::setDiveDD, &R::DiveDD, 1>(130, 31, 3),
    text<&R::setBoardLevel, &R::BoardLevel>(140, 34, 9),
    score<&R::setJ1Score, &R::J1Score, 1>(150, 43, 4),
    score<&R::setJ2Score, &R::J2Score, 1>(160, 47, 4),
    score<&R::setJ3Score, &R::J3Score, 1>(170, 51, 4),
    score<&R::setJ4Score, &R::J4Score, 1>(180, 55, 4),
    score<&R::setJ5Score, &R::J5Score, 1>(190, 59, 4),
    score<&R::setJ6Score, &R::J6Score, 1>(200, 63, 4),
    score<&R::setJ7Score, &R::J7Score, 1>(210, 67, 4),
    score<&R::setJ8Score, &R::J8Score, 1>(220, 71, 4),
    score<&R::setJ9Score, &R::J9Score, 1>(230, 75, 4),
    text<&R::setBALKflag, &R::BALKflag>(240, 79, 1),
    text<&R::setFAILflag, &R::FAILflag>(250, 80, 1),
    score<&R::setDiveTotal, &R::DiveTotal, 2>(260, 81, 6),
    score<&R::setTotalScore, &R::TotalScore, 2>(270, 87, 6),
};

} // namespace

void decode(QStringView frame, cDiveResult &rslt, qint32 &step) {
    for (const Field &field : Fields) {
        step = field.step;
        field.read(textAt(frame, field.position, field.width), rslt);
    }
    step = 280;
}

QString encode(const cDiveResult &rslt) {
    QString data(DataWidth, u' ');
    for (const Field &field : Fields)
        data.replace(field.position - FrameLayout::DataPosition, field.width,
                     field.write(rslt, field.width));
    return modKavvix::BuildFrame(CommandCodes::DiveResult.toString(), data);
}

} // namespace Kavvix::DiveResultFrame
