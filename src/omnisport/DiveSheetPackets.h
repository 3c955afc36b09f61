#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

namespace Kavvix {

// One planned dive of a dive sheet, as the upload lays it out: the dive number ends with its
// position letter ("105B").
struct DiveSheetRow {
    qint16 divingOrder = 0;
    qint16 round = 0;
    QString diveNum;
    float dd = 0;
};

// The upload frames of one event: one 104-character row per diving order (13 slots of 8
// characters, one per round: dive number, position code, DD), cut into frames of five rows.
// A frame's data is a start code (the first row's diving order), the number of rows of the
// event, then its rows; the same layout reads the rows back out of a frame.
class DiveSheetPackets {
public:
    static constexpr qint16 Rounds = 13;
    static constexpr qint16 SlotWidth = 8;
    static constexpr qint16 RowWidth = Rounds * SlotWidth;
    static constexpr qint16 RowsPerPacket = 5;
    static constexpr qint16 PacketCount = 20;
    // Start code and row count: two digits each, ahead of the rows.
    static constexpr qsizetype CodeWidth = 2;

    // last rows of blanks, for diving orders 1 to last (none when last < 1).
    void InitDiverRows(qint16 last);

    // Places the dive into its slot; a later dive for the same diving order and round
    // overwrites an earlier one. Throws Kavvix::Error, naming the dive, for a dive whose round
    // lies outside 1 to 13 or whose diving order lies outside 1 to last.
    void PlaceDive(const DiveSheetRow &dive);
    // Places every dive in order, as PlaceDive does.
    void BuildDiverRows(const QList<DiveSheetRow> &dives);

    // The 20 frames of the rows with the given command code ("301" to "304"); frame k is
    // empty when no row falls into it.
    void BuildPackets(const QString &commandCode);

    // Frame k of n rows: start code, n in two digits, rows 5k to 5k+4 that are below n.
    // Empty when 5k is not below n.
    QString BuildPacket(qint16 k, qint16 n, const QString &commandCode) const;

    // The position code of a position letter in either case: A/S 0, B/P 1, C/T 2, D/F 3;
    // 0 for any other character.
    static qint16 PositionCode(QChar letter);

    // The diving order of the first diver of frame k, in two digits ("01", "06" ... "21",
    // repeating every five frames); empty outside 0 to 19.
    static QString FirstDiverCode(qint16 k);

    const QStringList &DiverRows() const { return m_diverRows; }
    const QStringList &Packets() const { return m_packets; }

    // A row as an upload frame carries it, with the diving order it belongs to.
    struct CarriedRow {
        qint16 divingOrder;
        QString row;
    };
    // The whole rows of an upload frame in the order carried, numbered on from its start code.
    static QList<CarriedRow> rowsOf(QStringView frame);

private:
    QStringList m_diverRows;
    QStringList m_packets;
};

} // namespace Kavvix
