#pragma once

#include <kavvix/export.h>

#include <QLatin1String>
#include <QSqlDatabase>

// A small meet for tests, demonstrations and the command-line tool: one meet whose events
// cover the cases the upload meets in practice (a full event, the 25-diver limit, a combined
// event, and events that fail each validation check).
namespace Kavvix {
class cDiveResult;
}

namespace Kavvix::SampleMeet {

inline constexpr QLatin1String MeetID{"RIV26"};
inline constexpr QLatin1String MeetName{"Riverside Spring Invitational & Open"};

// The natural demonstration event: 12 divers, 6 rounds, three frames; first in the event list.
inline constexpr QLatin1String Event12Divers{"E12"};
inline constexpr QLatin1String Event1Diver{"E01"};   // 1 diver, 6 rounds: one short frame
inline constexpr QLatin1String Event10Divers{"E10"}; // 10 divers, 5 rounds: two full frames
inline constexpr QLatin1String Event25Divers{"E25"}; // 25 divers, 13 rounds: the largest upload
inline constexpr QLatin1String Event26Divers{"E26"}; // 26 divers: one too many
inline constexpr QLatin1String SynchroEvent{"ESY"};  // pairs share a diving order (1,1,2,2,3,3)

// The combined event row (combinedevent true, not listed) and its two parts, which carry
// CombinedEventID = CombinedEvent: the same 5 divers, rounds 1-3 on 1m and 4-6 on 3m.
inline constexpr QLatin1String CombinedEvent{"CE7"};
inline constexpr QLatin1String CombinedPart1m{"E1B"};
inline constexpr QLatin1String CombinedPart3m{"E3B"};

// Events that fail (or warn in) one validation check each.
inline constexpr QLatin1String EventOrderZero{"EZ0"};     // diving orders 0, 1, 2
inline constexpr QLatin1String EventNullDD{"EDD"};        // one dive without a DD
inline constexpr QLatin1String EventBlankDiveNums{"EBL"}; // an empty and a null DiveNum; passes
inline constexpr QLatin1String EventOrderGap{"EGP"};      // diving orders 1, 2, 4, 5

// Fills in judged dive n (1-based) of event E12 as the console reports it: 12 divers a round,
// each diving a 105B (DD 2.4), seven judges whose awards differ from diver to diver, the
// total counting the middle three awards, the running total as if every round scored alike.
KAVVIX_EXPORT void fillJudgedDive(cDiveResult &dive, int n);

// Creates tblMeetInfo, tblEventInfo, tblDiveSheets and kavvix_divers (the names of the divers
// of Event12Divers) on db (SQLite or PostgreSQL) and fills them in one transaction. Throws
// Kavvix::Error when a statement fails (e.g. tables exist).
KAVVIX_EXPORT void write(const QSqlDatabase &db);

} // namespace Kavvix::SampleMeet
