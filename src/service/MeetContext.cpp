#include "MeetContext.h"
#include "upload/ServerWatchdog.h"

#include <kavvix/MeetDatabase.h>

#include <QJsonObject>
#include <QSqlQuery>

namespace Kavvix {

namespace {

bool exists(const QSqlDatabase &db, const QString &sql, const QStringList &values) {
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QString &value : values)
        query.addBindValue(value);
    return query.exec() && query.next() && query.value(0).toInt() > 0;
}

} // namespace

bool MeetContext::refresh() {
    const ServerWatchdog watchdog(m_db);
    QSqlQuery ids(m_db);
    ids.prepare(QStringLiteral("SELECT EventID FROM tblEventInfo WHERE MeetID = ?"));
    ids.addBindValue(m_meetId);
    if (!ids.exec())
        return false;
    QStringList eventIds;
    while (ids.next())
        eventIds << ids.value(0).toString();
    const auto rs = modKavvix::GetMeetEvents(m_meetId, m_db);
    if (!rs)
        return false;
    QJsonArray list;
    rs->seek(QSql::BeforeFirstRow);
    while (rs->next())
        list.append(QJsonObject{{"eventId", rs->value(QStringLiteral("EventID")).toString()},
                                {"eventName", rs->value(QStringLiteral("EventName")).toString()}});
    m_meetName = modKavvix::GetMeetName(m_meetId, m_db);
    m_events = list;
    m_eventIds = eventIds;
    m_sinceRead.start();
    return true;
}

void MeetContext::refreshWhenOld() {
    if (!m_sinceRead.isValid() || m_sinceRead.hasExpired(RefreshIntervalMs))
        refresh();
}

QJsonArray MeetContext::entries() const {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT DISTINCT EventID, DivingOrder, RegID FROM tblDiveSheets "
                                 "WHERE MeetID = ? ORDER BY EventID, DivingOrder, RegID"));
    query.addBindValue(m_meetId);
    QJsonArray list;
    if (query.exec())
        while (query.next())
            list.append(QJsonObject{{"eventId", query.value(0).toString()},
                                    {"DivingOrder", query.value(1).toInt()},
                                    {"regId", query.value(2).toInt()}});
    return list;
}

QHash<QString, int> MeetContext::plannedDives() const {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT EventID, COUNT(*) FROM (SELECT DISTINCT EventID, "
                                 "DiveRound, DivingOrder FROM tblDiveSheets WHERE MeetID = ?) "
                                 "AS planned GROUP BY EventID"));
    query.addBindValue(m_meetId);
    QHash<QString, int> counts;
    if (query.exec())
        while (query.next())
            counts.insert(query.value(0).toString(), query.value(1).toInt());
    return counts;
}

bool MeetContext::hasMeet() const {
    return exists(m_db, QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"),
                  {m_meetId});
}

bool MeetContext::hasEvent(const QString &eventId) {
    return m_eventIds.contains(eventId) || (refresh() && m_eventIds.contains(eventId));
}

} // namespace Kavvix
