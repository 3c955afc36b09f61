#include "DiveSheetPackets.h"

#include <kavvix/Error.h>
#include <kavvix/cUtility.h>
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

QString describeDive(const QString &diveNum, qint16 order, qint16 round) {
    return QStringLiteral("Dive %1 of diving order %2 in round %3")
        .arg(diveNum.isEmpty() ? QStringLiteral("(no number)") : diveNum)
        .arg(order)
        .arg(round);
}

} // namespace

void DiveSheetPackets::InitDiverRows(qint16 last) {
    m_asDiverRows.clear();
    for (qint16 d = 0; d < last; ++d)
        m_asDiverRows.append(QString(RowWidth, QLatin1Char(' ')));
}

void DiveSheetPackets::BuildDiverRows(QSqlQuery *rsDiveSheets) {
    if (!rsDiveSheets || !rsDiveSheets->first())
        return;
    const auto util = createUtility();
    do {
        const QSqlQuery &rs = *rsDiveSheets;
        const qint16 order = util->ToInteger(rs.value(QStringLiteral("DivingOrder")));
        const QString diveNum = util->ToText(rs.value(QStringLiteral("DiveNum")));
        const qint16 round = util->ToInteger(rs.value(QStringLiteral("DiveRound")));
        const float dd = util->ToSingle(rs.value(QStringLiteral("DiveDD")));

        if (round < 1 || round > Rounds)
            throw Error(Error::InvalidArgument,
                        describeDive(diveNum, order, round) +
                            QStringLiteral(" has no slot: rounds run from 1 to 13"));
        if (order < 1 || order > m_asDiverRows.size())
            throw Error(Error::InvalidArgument,
                        describeDive(diveNum, order, round) +
                            QStringLiteral(" has no slot: diving orders run from 1 to %1")
                                .arg(m_asDiverRows.size()));

        // The last character is the position letter. A blank or missing dive number leaves the
        // number blank with position code 0; its DD is still written.
        const QString letter = diveNum.right(1).toUpper();
        const QString number = diveNum.left(diveNum.size() - 1);

        QString &row = m_asDiverRows[order - 1];
        const qsizetype slot = qsizetype(round - 1) * SlotWidth;
        row.replace(slot + DiveNumberOffset, DiveNumberWidth, diveNumberField(number));
        row.replace(slot + PositionOffset, 1, QString::number(PositionCode(letter)));
        row.replace(slot + DDOffset, DDWidth,
                    ddText(dd).left(DDWidth).leftJustified(DDWidth, QLatin1Char(' ')));
    } while (rsDiveSheets->next());
}

void DiveSheetPackets::BuildPackets(const QString &commandCode) {
    m_asPackets.clear();
    const auto n = qint16(m_asDiverRows.size());
    for (qint16 k = 0; k < PacketCount; ++k)
        m_asPackets.append(BuildPacket(k, n, commandCode));
}

QString DiveSheetPackets::BuildPacket(qint16 k, qint16 n, const QString &commandCode) const {
    const qsizetype first = qsizetype(k) * RowsPerPacket;
    if (k < 0 || first >= n)
        return QString();
    QString data = FirstDiverCode(k) + QString::number(n).rightJustified(2, QLatin1Char('0'));
    const qsizetype end = std::min({first + RowsPerPacket, qsizetype(n), m_asDiverRows.size()});
    for (qsizetype i = first; i < end; ++i)
        data += m_asDiverRows.at(i);
    return modKavvix::BuildFrame(commandCode, data);
}

qint16 DiveSheetPackets::PositionCode(const QString &letter) {
    static const QString codes[] = {QStringLiteral("AS"), QStringLiteral("BP"),
                                    QStringLiteral("CT"), QStringLiteral("DF")};
    if (letter.size() != 1)
        return 0;
    for (qint16 code = 0; code < 4; ++code)
        if (codes[code].contains(letter.at(0)))
            return code;
    return 0;
}

QString DiveSheetPackets::FirstDiverCode(qint16 k) {
    if (k < 0 || k >= PacketCount)
        return QString();
    return QString::number((k % RowsPerPacket) * RowsPerPacket + 1)
        .rightJustified(2, QLatin1Char('0'));
}

} // namespace Kavvix
