#pragma once

#include "DiveRecord.h"
#include "DiverNames.h"

#include <QByteArray>
#include <QList>

namespace Kavvix {

// An event's stored dives as comma-separated values (RFC 4180: CRLF line ends, fields quoted
// where they hold a comma, a quote or a line break), UTF-8, a header row, one row per dive.
namespace ResultsCsv {

inline constexpr char ContentType[] = "text/csv; charset=utf-8";

QByteArray write(const QList<DiveRecord> &dives, const DiverNames::Map &names,
                 const QList<int> &panel);
// One field as RFC 4180 writes it.
QString field(const QString &text);

} // namespace ResultsCsv

} // namespace Kavvix
