#include "DiveResultFrame.h"

#include "common/NumericText.h"
#include "common/TextPosition.h"

#include <kavvix/cDiveResult.h>

namespace Kavvix::DiveResultFrame {

namespace {

// Reads one field at 1-based (position, width), first recording its step number.
class FieldReader {
public:
    FieldReader(QStringView frame, qint32 &step) : m_frame(frame), m_step(step) {}

    QString text(qint32 step, qsizetype position, qsizetype width) {
        return field(step, position, width).toString();
    }
    qint16 int16(qint32 step, qsizetype position, qsizetype width) {
        return NumericText::roundToInt16(NumericText::valueOf(field(step, position, width)));
    }
    float single(qint32 step, qsizetype position, qsizetype width) {
        return NumericText::toSingle(NumericText::valueOf(field(step, position, width)));
    }

private:
    QStringView field(qint32 step, qsizetype position, qsizetype width) {
        m_step = step;
        return textAt(m_frame, position, width);
    }

    QStringView m_frame;
    qint32 &m_step;
};

} // namespace

void decode(QStringView frame, cDiveResult &rslt, qint32 &step) {
    FieldReader f(frame, step);
    rslt.setEventNumberN(f.int16(50, 14, 3));
    rslt.setEventNumberA(f.text(60, 17, 1));
    rslt.setStage(f.text(70, 18, 1));
    rslt.setInsertOrder(f.text(80, 19, 1));
    rslt.setDiveRound(f.int16(90, 20, 2));
    rslt.setDivingOrder(f.int16(100, 22, 4));
    rslt.setDiveNumber(f.text(110, 26, 4));
    rslt.setDivePos(f.text(120, 30, 1));
    rslt.setDiveDD(f.single(130, 31, 3));
    // The board level comes before the judges' scores in the frame.
    rslt.setBoardLevel(f.text(140, 34, 9));
    rslt.setJ1Score(f.single(150, 43, 4));
    rslt.setJ2Score(f.single(160, 47, 4));
    rslt.setJ3Score(f.single(170, 51, 4));
    rslt.setJ4Score(f.single(180, 55, 4));
    rslt.setJ5Score(f.single(190, 59, 4));
    rslt.setJ6Score(f.single(200, 63, 4));
    rslt.setJ7Score(f.single(210, 67, 4));
    rslt.setJ8Score(f.single(220, 71, 4));
    rslt.setJ9Score(f.single(230, 75, 4));
    rslt.setBALKflag(f.text(240, 79, 1));
    rslt.setFAILflag(f.text(250, 80, 1));
    rslt.setDiveTotal(f.single(260, 81, 6));
    rslt.setTotalScore(f.single(270, 87, 6));
    step = 280;
}

} // namespace Kavvix::DiveResultFrame
