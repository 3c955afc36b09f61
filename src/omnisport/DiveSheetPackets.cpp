#include "DiveSheetPackets.h"

#include "FrameLayout.h"
#include "common/DivePosition.h"
#include "common/TextPosition.h"

#include <kavvix/Error.h>
#include <kavvix/modKavvix.h>

#include <algorithm>
#include <cmath>

namespace Kavvix {

namespace {

// Fields within a slot, as 0-based offsets from the slot's first character.
constexpr qsizetype DiveNumberOffset = 0;
constexpr qsizetype DiveNumberWidth = 4;
constexpr qsizetype PositionOffset = 4;
constexpr qsizetype DDOffset = 5;
constexpr qsizetype DDWidth = 3;

// The DD with one decimal ("0.0"): 2 gives "2.0". The float's exact value is rounded to the
// nearest tenth with exact halves away from zero (2.25 gives "2.3"), as a judge reads a table.
// Ten times a float is exact in a double, so the halves are the true ones.
QString ddText(float dd) {
    return QString::number(std::round(double(dd) * 10.0) / 10.0, 'f', 1);
}

// The dive number field: the number without its position letter, right-aligned in four
// characters, keeping its last four when longer.
QString diveNumberField(const QString &number) {
    return (QString(DiveNumberWidth, QLatin1Char(' ')) + number).right(DiveNumberWidth);
}

// A start code or row count: at least two digits.
QString twoDigits(qint16 value) {
    return QString::number(value).rightJustified(DiveSheetPackets::CodeWidth, u'0');
}

QString describeDive(const QString &diveNum, qint16 order, qint16 round) {
    return QStringLiteral("Dive %1 of diving order %2 in round %3")
        .arg(diveNum.isEmpty() ? QStringLiteral("(no number)") : diveNum)
        .arg(order)
        .arg(round);
}

} // namespace

void DiveSheetPackets::InitDiverRows(qint16 last) {
    m_diverRows.clear();
    for (qint16 d = 0; d < last; ++d)
        m_diverRows.append(QString(RowWidth, QLatin1Char(' ')));
}

void DiveSheetPackets::PlaceDive(const DiveSheetRow &dive) {
    if (dive.round < 1 || dive.round > Rounds)
        throw Error(Error::InvalidArgument,
                    describeDive(dive.diveNum, dive.divingOrder, dive.round) +
                        QStringLiteral(" has no slot: rounds run from 1 to 13"));
    if (dive.divingOrder < 1 || dive.divingOrder > m_diverRows.size())
        throw Error(Error::InvalidArgument,
                    describeDive(dive.diveNum, dive.divingOrder, dive.round) +
                        QStringLiteral(" has no slot: diving orders run from 1 to %1")
                            .arg(m_diverRows.size()));

    // A blank or missing dive number leaves the number blank with position code 0; its DD is
    // still written.
    const DivePosition::DiveCode code = DivePosition::splitDiveNumber(dive.diveNum);
    QString &row = m_diverRows[dive.divingOrder - 1];
    const qsizetype slot = qsizetype(dive.round - 1) * SlotWidth;
    row.replace(slot + DiveNumberOffset, DiveNumberWidth, diveNumberField(code.number));
    row.replace(slot + PositionOffset, 1, QString::number(PositionCode(code.letter)));
    row.replace(slot + DDOffset, DDWidth,
                ddText(dive.dd).left(DDWidth).leftJustified(DDWidth, QLatin1Char(' ')));
}

void DiveSheetPackets::BuildDiverRows(const QList<DiveSheetRow> &dives) {
    for (const DiveSheetRow &dive : dives)
        PlaceDive(dive);
}

void DiveSheetPackets::BuildPackets(const QString &commandCode) {
    m_packets.clear();
    const auto n = qint16(m_diverRows.size());
    for (qint16 k = 0; k < PacketCount; ++k)
        m_packets.append(BuildPacket(k, n, commandCode));
}

QString DiveSheetPackets::BuildPacket(qint16 k, qint16 n, const QString &commandCode) const {
    const qsizetype first = qsizetype(k) * RowsPerPacket;
    if (k < 0 || first >= n)
        return QString();
    QString data = FirstDiverCode(k) + twoDigits(n);
    const qsizetype end = std::min({first + RowsPerPacket, qsizetype(n), m_diverRows.size()});
    for (qsizetype i = first; i < end; ++i)
        data += m_diverRows.at(i);
    return modKavvix::BuildFrame(commandCode, data);
}

qint16 DiveSheetPackets::PositionCode(QChar letter) {
    return DivePosition::indexOf(letter).value_or(0);
}

QString DiveSheetPackets::FirstDiverCode(qint16 k) {
    if (k < 0 || k >= PacketCount)
        return QString();
    return twoDigits(qint16((k % RowsPerPacket) * RowsPerPacket + 1));
}

QList<DiveSheetPackets::CarriedRow> DiveSheetPackets::rowsOf(QStringView frame) {
    const QStringView data = FrameLayout::dataOf(frame);
    const auto first = qint16(textAt(data, 1, CodeWidth).toInt());
    QList<CarriedRow> rows;
    for (qsizetype at = 2 * CodeWidth + 1; at + RowWidth - 1 <= data.size(); at += RowWidth)
        rows.append({qint16(first + rows.size()), textAt(data, at, RowWidth).toString()});
    return rows;
}

} // namespace Kavvix
