#include "DiveSheetReader.h"

#include <kavvix/cUtility.h>

namespace Kavvix {

void BuildDiverRows(QSqlQuery *rsDiveSheets, DiveSheetPackets &packets) {
    if (!rsDiveSheets || !rsDiveSheets->first())
        return;
    const auto util = createUtility();
    do {
        const QSqlQuery &rs = *rsDiveSheets;
        DiveSheetRow dive;
        dive.divingOrder = util->ToInteger(rs.value(QStringLiteral("DivingOrder")));
        dive.diveNum = util->ToText(rs.value(QStringLiteral("DiveNum")));
        dive.round = util->ToInteger(rs.value(QStringLiteral("DiveRound")));
        dive.dd = util->ToSingle(rs.value(QStringLiteral("DiveDD")));
        packets.PlaceDive(dive);
    } while (rsDiveSheets->next());
}

} // namespace Kavvix
