#pragma once

#include "DiveRecord.h"

#include <QJsonArray>
#include <QList>

#include <map>
#include <optional>
#include <utility>

namespace Kavvix {

// What an event's standings, panel and progress are computed from, folded in one stored dive
// at a time: it holds an entry per diver, never the event's dives, so describing a dive takes
// memory for the divers however many dives the event has stored.
class EventTally {
public:
    EventTally() = default;
    explicit EventTally(const QList<DiveRecord> &dives);

    // Dives are added in the table's order (round, then diving order): of two that arrived in
    // the same millisecond, the later added counts as the later.
    void add(const DiveRecord &dive);

    int dives() const { return m_dives; }
    // The last judged dive's round and diving order (highest round, then order); {0, 0}: none.
    std::pair<int, int> lastJudged() const { return m_lastJudged; }
    // The dive that arrived last; nullopt when none is stored.
    const std::optional<DiveRecord> &latest() const { return m_latest; }
    // The judge positions (1-based, ascending) that gave a non-zero award in any dive.
    QList<int> positionsAwarding() const;
    // One entry per diving order with the console's latest TotalScore for that diver, best
    // first; equal totals share a rank (1, 1, 3). With `without`, as they stood before that
    // dive (one of the event's, by round and diving order).
    QJsonArray standings(const DiveRecord *without = nullptr) const;

private:
    struct Arrival {
        int round = 0;
        qint64 ms = -1;
        double total = 0;
    };
    struct Diver {
        QVariant regId;
        int divesJudged = 0;
        QList<qint16> rounds; // judged
        // The two that arrived last, so that the standings before either are known too.
        Arrival latest;
        std::optional<Arrival> before;
    };

    std::map<int, Diver> m_divers; // by diving order
    int m_dives = 0;
    unsigned m_awarding = 0; // bit n: judge n gave an award
    std::pair<int, int> m_lastJudged{0, 0};
    std::optional<DiveRecord> m_latest;
};

} // namespace Kavvix
