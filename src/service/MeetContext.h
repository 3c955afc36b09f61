#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace Kavvix {

// The meet the service runs for, read from the host's tables, and the meet event that judged
// dives are filed under: the one last uploaded through the service, or set by the operator.
// The meet's name and events are kept as last read, so that answering about the meet never
// waits for a database that has stopped answering.
class MeetContext {
public:
    // How old what was read may get before a request reads it again.
    static constexpr qint64 RefreshIntervalMs = 30000;

    MeetContext(const QSqlDatabase &db, const QString &meetId) : m_db(db), m_meetId(meetId) {}

    const QString &meetId() const { return m_meetId; }
    // Reads the meet's name and events again; false (what was read before kept) when the
    // database does not answer.
    bool refresh();
    // Reads again when what was read is older than RefreshIntervalMs.
    void refreshWhenOld();
    const QString &meetName() const { return m_meetName; }
    // [{"eventId", "eventName"}] of the meet's events that are not combined events.
    const QJsonArray &events() const { return m_events; }
    // [{"eventId", "DivingOrder", "regId"}]: who dives in which event, from the dive sheets.
    QJsonArray entries() const;
    // Planned dives (one per round and diving order) by event, from the dive sheets.
    QHash<QString, int> plannedDives() const;
    bool hasMeet() const;
    // Any event of the meet, combined ones too; an event not seen yet is looked for again.
    bool hasEvent(const QString &eventId);

    const QString &currentEvent() const { return m_currentEvent; }
    void setCurrentEvent(const QString &eventId) { m_currentEvent = eventId; }

private:
    QSqlDatabase m_db;
    QString m_meetId;
    QString m_currentEvent;
    QString m_meetName;
    QJsonArray m_events;
    QStringList m_eventIds;
    QElapsedTimer m_sinceRead;
};

} // namespace Kavvix
