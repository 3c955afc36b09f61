#pragma once

#include "omnisport/DiveSheetPackets.h"

#include <QSqlQuery>

namespace Kavvix {

// Places every row of a dive sheet record set (DivingOrder, DiveRound, DiveNum, DiveDD) into
// the packets' diver rows, in the record set's order, each field converted by the utility
// component. Does nothing for a null or empty record set. Throws Kavvix::Error for a value
// that does not convert and for a dive without a slot (DiveSheetPackets::PlaceDive).
void BuildDiverRows(QSqlQuery *rsDiveSheets, DiveSheetPackets &packets);

} // namespace Kavvix
