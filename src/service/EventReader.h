#pragma once

#include "DiveRecord.h"
#include "EventPlan.h"
#include "EventSummary.h"
#include "EventTally.h"

#include <QList>
#include <QString>

#include <optional>

namespace Kavvix {

class DiverNames;
class MeetContext;
class ResultsTable;

// Reads what the pages show of one event, with statements prepared once and the names read
// again only when they may have changed: for each dive the feed carries, and for the API.
class EventReader {
public:
    EventReader(const MeetContext &meet, ResultsTable &table, DiverNames &names)
        : m_meet(meet), m_table(table), m_names(names) {}

    struct Event {
        QList<DiveRecord> dives; // empty when only the summary was asked for
        EventTally tally;
        EventPlan plan;
        DiverNames::Map names;
        QList<int> panel;
        EventSummary summary;
    };
    // The event as stored now, its summary around judged (else its latest dive); nullopt
    // (and lastError()) when the database cannot be read.
    std::optional<Event> read(const QString &eventId,
                              const std::optional<DiveRecord> &judged = std::nullopt);
    // Only the summary around judged, from as little of each stored dive as it takes: what a
    // dive's message carries; nullopt (and lastError()) when the database cannot be read.
    std::optional<EventSummary> summary(const QString &eventId, const DiveRecord &judged);
    QString lastError() const { return m_lastError; }
    // The meet's diver names as last read (again when they may have changed).
    const DiverNames::Map &names();

private:
    bool summarize(Event &event, const QString &eventId, const std::optional<DiveRecord> &judged);

    const MeetContext &m_meet;
    ResultsTable &m_table;
    DiverNames &m_names;
    QString m_lastError;
};

} // namespace Kavvix
