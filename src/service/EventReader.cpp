#include "EventReader.h"

#include "DiverNames.h"
#include "MeetContext.h"
#include "ResultsTable.h"

namespace Kavvix {

const DiverNames::Map &EventReader::names() {
    return m_names.current(m_table.statements());
}

std::optional<EventReader::Event> EventReader::read(const QString &eventId,
                                                    const std::optional<DiveRecord> &judged) {
    auto dives = m_table.results(m_meet.meetId(), eventId);
    if (!dives) {
        m_lastError = m_table.lastError();
        return std::nullopt;
    }
    Event event;
    event.dives = std::move(*dives);
    event.tally = EventTally(event.dives);
    if (!summarize(event, eventId, judged))
        return std::nullopt;
    return event;
}

std::optional<EventSummary> EventReader::summary(const QString &eventId, const DiveRecord &judged) {
    Event event;
    if (!m_table.eachSummaryRow(m_meet.meetId(), eventId,
                                [&event](const DiveRecord &dive) { event.tally.add(dive); })) {
        m_lastError = m_table.lastError();
        return std::nullopt;
    }
    if (!summarize(event, eventId, judged))
        return std::nullopt;
    return std::move(event.summary);
}

bool EventReader::summarize(Event &event, const QString &eventId,
                            const std::optional<DiveRecord> &judged) {
    if (!event.plan.load(m_table.statements(), m_meet.meetId(), eventId)) {
        m_lastError = event.plan.lastError();
        return false;
    }
    event.names = names();
    event.summary = EventSummary::build({event.tally, event.plan, event.names,
                                         [this] { return m_table.meetPanel(m_meet.meetId()); }},
                                        judged);
    event.panel = event.summary.panel;
    return true;
}

} // namespace Kavvix
