#pragma once

#include <QHash>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QString>

namespace Kavvix {

// The meet the service runs for, read from the host's tables, and the meet event that judged
// dives are filed under: the one last uploaded through the service, or set by the operator.
class MeetContext {
public:
    MeetContext(const QSqlDatabase &db, const QString &meetId) : m_db(db), m_meetId(meetId) {}

    const QString &meetId() const { return m_meetId; }
    QString meetName() const;
    // [{"eventId", "eventName"}] of the meet's events that are not combined events.
    QJsonArray events() const;
    // [{"eventId", "DivingOrder", "regId"}]: who dives in which event, from the dive sheets.
    QJsonArray entries() const;
    // Planned dives (one per round and diving order) by event, from the dive sheets.
    QHash<QString, int> plannedDives() const;
    bool hasMeet() const;
    bool hasEvent(const QString &eventId) const;

    const QString &currentEvent() const { return m_currentEvent; }
    void setCurrentEvent(const QString &eventId) { m_currentEvent = eventId; }

private:
    QSqlDatabase m_db;
    QString m_meetId;
    QString m_currentEvent;
};

} // namespace Kavvix
