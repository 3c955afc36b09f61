#include <kavvix/clsDaktronicsData.h>

#include "DaktronicsRecord.h"
#include "ParserText.h"
#include "ScoreSet.h"
#include "common/DivePosition.h"
#include "common/NumericText.h"
#include "common/TextPosition.h"

#include <kavvix/Error.h>
#include <kavvix/modKavvix.h>

#include <limits>
#include <optional>

namespace Kavvix {

namespace {

using Parsers::positionOf;
using Parsers::RecordField;
using Parsers::ScoreSet;
using Parsers::toFloat;
using Parsers::toInt16;

constexpr QStringView ScoreDataCommand = u"004";
constexpr qsizetype OffsetWidth = 5;

// The position letter the console sends, in the letters the meet manager uses; nullopt for a
// letter that leaves the position unchanged.
std::optional<QChar> positionLetter(QChar received) {
    if (const std::optional<qint16> index = DivePosition::indexOf(received))
        return DivePosition::letterOf(*index);
    return std::nullopt;
}

} // namespace

clsDaktronicsData::clsDaktronicsData(QObject *parent)
    : ScoreSetObject(parent), m_soh(QChar(modKavvix::SOH)), m_stx(QChar(modKavvix::STX)),
      m_eot(QChar(modKavvix::EOT)) {}

QString clsDaktronicsData::DiveNumber() const {
    return scores().DiveNumber + scores().DivePosition;
}

void clsDaktronicsData::storeJudgeScore(int index, float score) {
    ScoreSetObject::storeJudgeScore(index, score);
    if (m_judgesScoresReceived == std::numeric_limits<qint16>::max())
        throw Error::numericOverflow(QStringLiteral("more than 32767 judge scores received"));
    ++m_judgesScoresReceived;
}

bool clsDaktronicsData::ContainsValidCommand(const QString &dataToCheck) const {
    if (!dataToCheck.contains(m_eot))
        return false;
    const qsizetype soh = positionOf(dataToCheck, m_soh);
    return soh && textAt(dataToCheck, soh + 1, ScoreDataCommand.size()) == ScoreDataCommand;
}

bool clsDaktronicsData::DataIsComplete() const {
    const ScoreSet &s = scores();
    const bool judgesDone =
        m_numberOfJudgesRequired == 0 || m_judgesScoresReceived >= m_numberOfJudgesRequired;
    return s.CurrentRound != 0 && s.DiverNumber != 0 &&
           !Parsers::trimSpaces(DiveNumber()).isEmpty() &&
           !Parsers::trimSpaces(s.DivePosition).isEmpty() && s.DiveDD != 0 && judgesDone;
}

void clsDaktronicsData::InitializeItems() {
    scores() = ScoreSet();
    m_judgesScoresReceived = 0;
}

qint16 clsDaktronicsData::fieldLengthAt(qint32 recordPosition) {
    const RecordField *field = Parsers::recordFieldAt(recordPosition);
    return field ? field->width : 0;
}

void clsDaktronicsData::storeField(qint32 recordPosition, QStringView field) {
    if (field.contains(QChar(modKavvix::EOT)) || Parsers::trimSpaces(field).isEmpty())
        return;
    const RecordField *layout = Parsers::recordFieldAt(recordPosition);
    if (!layout)
        return;
    ScoreSet &s = scores();
    switch (layout->target) {
    case RecordField::NotStored:
        break;
    case RecordField::DiverNumber:
        s.DiverNumber = toInt16(field);
        break;
    case RecordField::PrimaryDiver:
        s.PrimaryDiver = Parsers::trimSpaces(field).toString();
        break;
    case RecordField::CurrentTotal:
        s.CurrentTotal = toFloat(field);
        break;
    case RecordField::DiveNumber:
        s.DiveNumber = NumericText::plainDecimal(NumericText::valueOf(field));
        break;
    case RecordField::DivePosition:
        if (const std::optional<QChar> letter = positionLetter(field.front()))
            s.DivePosition = *letter;
        break;
    case RecordField::DiveDD:
        s.DiveDD = toFloat(field);
        break;
    case RecordField::JudgeScore:
        storeJudgeScore(layout->judge, toFloat(field));
        break;
    case RecordField::DiveTotal:
        s.DiveTotal = toFloat(field);
        break;
    case RecordField::CurrentRound:
        s.CurrentRound = toInt16(field);
        break;
    }
}

QString clsDaktronicsData::ParseData(const QString &DataStream) {
    const qint32 soh = modKavvix::LastPositionOf(m_soh, DataStream);
    const qsizetype eot = positionOf(DataStream, m_eot);
    const qint32 stx = modKavvix::LastPositionOf(m_stx, DataStream);
    if (!soh || !eot || !stx)
        return QString();
    try {
        if (stx <= OffsetWidth)
            throw Error::invalidArgument(QStringLiteral("no room for the offset before STX"));
        const QStringView offset = textAt(DataStream, stx - OffsetWidth, OffsetWidth);
        qint32 recordPosition = NumericText::roundToInt32(NumericText::valueOf(offset) + 1);
        // Walk the packet field by field up to the EOT. A record position where no field
        // starts ends the walk: what was stored before it stays and the packet counts as read.
        for (qsizetype p = stx + 1; p < eot;) {
            const qint16 width = fieldLengthAt(recordPosition);
            if (width == 0)
                break;
            storeField(recordPosition, textAt(DataStream, p, width));
            p += width;
            recordPosition += width;
        }
        scores().DataIsValid = true;
        return QString();
    } catch (const Error &error) {
        scores().DataIsValid = false;
        return Parsers::internalErrorMessage(DataStream, error);
    }
}

} // namespace Kavvix
