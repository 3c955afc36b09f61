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
    Event event;
    auto dives = m_table.results(m_meet.meetId(), eventId);
    if (!dives) {
        m_lastError = m_table.lastError();
        return std::nullopt;
    }
    event.dives = std::move(*dives);
    if (!event.plan.load(m_table.statements(), m_meet.meetId(), eventId)) {
        m_lastError = event.plan.lastError();
        return std::nullopt;
    }
    event.names = names();
    event.summary = EventSummary::build({event.dives, event.plan, event.names,
                                         [this] { return m_table.meetPanel(m_meet.meetId()); }},
                                        judged);
    event.panel = event.summary.panel;
    return event;
}

} // namespace Kavvix
