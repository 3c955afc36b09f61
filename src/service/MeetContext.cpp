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

bool MeetContext::hasMeet() const {
    return exists(m_db, QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"),
                  {m_meetId});
}

bool MeetContext::hasEvent(const QString &eventId) {
    return m_eventIds.contains(eventId) || (refresh() && m_eventIds.contains(eventId));
}

} // namespace Kavvix
