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
    if (!m_db.isValid())
        return false;
    const ServerWatchdog watchdog(m_db);
    QSqlQuery ids(m_db);
    ids.prepare(QStringLiteral("SELECT EventID FROM tblEventInfo WHERE MeetID = ?"));
    ids.addBindValue(m_meetId);
    if (!ids.exec())
        return false;
    Read read;
    while (ids.next())
        read.eventIds << ids.value(0).toString();
    const auto rs = modKavvix::GetMeetEvents(m_meetId, m_db);
    if (!rs)
        return false;
    rs->seek(QSql::BeforeFirstRow);
    while (rs->next())
        read.events.append(
            QJsonObject{{"eventId", rs->value(QStringLiteral("EventID")).toString()},
                        {"eventName", rs->value(QStringLiteral("EventName")).toString()}});
    QSqlQuery planned(m_db);
    planned.setForwardOnly(true);
    planned.prepare(QStringLiteral("SELECT EventID, COUNT(*) FROM (SELECT DISTINCT EventID, "
                                   "DiveRound, DivingOrder FROM tblDiveSheets WHERE MeetID = ?) "
                                   "AS planned GROUP BY EventID"));
    planned.addBindValue(m_meetId);
    if (!planned.exec())
        return false;
    while (planned.next())
        read.planned.insert(planned.value(0).toString(), planned.value(1).toInt());
    QSqlQuery entries(m_db);
    entries.setForwardOnly(true);
    entries.prepare(QStringLiteral("SELECT DISTINCT EventID, DivingOrder, RegID FROM "
                                   "tblDiveSheets WHERE MeetID = ? ORDER BY EventID, "
                                   "DivingOrder, RegID"));
    entries.addBindValue(m_meetId);
    if (!entries.exec())
        return false;
    while (entries.next())
        read.entries.append(QJsonObject{{"eventId", entries.value(0).toString()},
                                        {"DivingOrder", entries.value(1).toInt()},
                                        {"regId", entries.value(2).toInt()}});
    read.meetName = modKavvix::GetMeetName(m_meetId, m_db);
    m_read = read;
    m_sinceRead.start();
    return true;
}

bool MeetContext::refreshWhenOld() {
    return (!m_sinceRead.isValid() || m_sinceRead.hasExpired(RefreshIntervalMs)) && refresh();
}

bool MeetContext::hasMeet() const {
    return exists(m_db, QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"),
                  {m_meetId});
}

bool MeetContext::hasEvent(const QString &eventId) {
    return knowsEvent(eventId) || (refresh() && knowsEvent(eventId));
}

} // namespace Kavvix
