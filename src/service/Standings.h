#pragma once

#include "DiveRecord.h"

#include <QJsonArray>
#include <QList>

namespace Kavvix {

// The event's standings from its stored dives: one entry per diving order with the console's
// latest TotalScore for that diver, best first; equal totals share a rank (1, 1, 3).
QJsonArray standings(const QList<DiveRecord> &dives);

} // namespace Kavvix
