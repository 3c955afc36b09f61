#pragma once

#include "DiveRecord.h"
#include "DiverNames.h"
#include "EventTally.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <optional>

namespace Kavvix {

class EventPlan;

// What a results page shows of an event at a glance, computed once from the tally of its
// stored dives and its dive sheets: the judged dive, the standings with each diver's place before
// it, who dives next and where the event stands.
struct EventSummary {
    QJsonObject judged;   // the dive, with "awards", "placeBefore" and "place"; empty: none
    QJsonArray standings; // best first, each with "previousRank"
    QJsonValue next;      // null when nobody is left
    QJsonObject progress; // round, rounds, diver, divers, judged, planned, state
    QList<int> panel;

    struct Sources {
        const EventTally &tally;
        const EventPlan &plan;
        const DiverNames::Map &names;
        // The meet's panel, asked only when the event's own dives cannot tell it.
        std::function<QList<int>()> meetPanel;
    };
    // The summary around the given dive (one of the event's, by round and diving order), else
    // around the dive that arrived last.
    static EventSummary build(const Sources &sources,
                              const std::optional<DiveRecord> &judged = std::nullopt);

    // {"eventId", "judged", "standings", "next", "progress", "panel"}
    QJsonObject toJson(const QString &eventId) const;
    // The members the feed's dive message carries beside the dive.
    void addTo(QJsonObject &message) const;
};

// "not-started", "in-progress" or "finished", from the dives stored and the dives planned.
QString eventState(int divesJudged, int divesPlanned);

} // namespace Kavvix
