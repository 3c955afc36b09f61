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
// What was read is kept, so that answering about the meet never waits for the database: the
// database thread reads it and hands a copy to the service's own thread (adopt()), whose
// context reads nothing itself once the service runs (stopReading()).
class MeetContext {
public:
    // How old what was read may get before it is read again.
    static constexpr qint64 RefreshIntervalMs = 30000;

    struct Read {
        QString meetName;
        // [{"eventId", "eventName"}] of the meet's events that are not combined events.
        QJsonArray events;
        // Every event of the meet, combined ones too.
        QStringList eventIds;
        // Planned dives (one per round and diving order) by event, from the dive sheets.
        QHash<QString, int> planned;
        // [{"eventId", "DivingOrder", "regId"}]: who dives in which event.
        QJsonArray entries;
    };

    MeetContext(const QSqlDatabase &db, const QString &meetId) : m_db(db), m_meetId(meetId) {}

    const QString &meetId() const { return m_meetId; }
    // Reads the meet's name, events and entries again; false (what was read before kept) when
    // the database does not answer.
    bool refresh();
    // Reads again when what was read is older than RefreshIntervalMs; true when it did.
    bool refreshWhenOld();
    const Read &read() const { return m_read; }
    void adopt(const Read &read) { m_read = read; }
    // From now on only what is adopted: nothing is read from the database.
    void stopReading() { m_db = QSqlDatabase(); }
    const QString &meetName() const { return m_read.meetName; }
    const QJsonArray &events() const { return m_read.events; }
    bool hasMeet() const;
    // Any event of the meet, combined ones too; an event not seen yet is looked for again
    // (unless reading has stopped).
    bool hasEvent(const QString &eventId);
    bool knowsEvent(const QString &eventId) const { return m_read.eventIds.contains(eventId); }

    const QString &currentEvent() const { return m_currentEvent; }
    void setCurrentEvent(const QString &eventId) { m_currentEvent = eventId; }

private:
    QSqlDatabase m_db;
    QString m_meetId;
    QString m_currentEvent;
    Read m_read;
    QElapsedTimer m_sinceRead;
};

} // namespace Kavvix
