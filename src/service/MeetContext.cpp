#include "MeetContext.h"

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

QString MeetContext::meetName() const {
    return modKavvix::GetMeetName(m_meetId, m_db);
}

QJsonArray MeetContext::events() const {
    QJsonArray list;
    const auto rs = modKavvix::GetMeetEvents(m_meetId, m_db);
    if (!rs)
        return list;
    rs->seek(QSql::BeforeFirstRow);
    while (rs->next())
        list.append(QJsonObject{{"eventId", rs->value(QStringLiteral("EventID")).toString()},
                                {"eventName", rs->value(QStringLiteral("EventName")).toString()}});
    return list;
}

bool MeetContext::hasMeet() const {
    return exists(m_db, QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"),
                  {m_meetId});
}

bool MeetContext::hasEvent(const QString &eventId) const {
    return exists(
        m_db, QStringLiteral("SELECT COUNT(*) FROM tblEventInfo WHERE MeetID = ? AND EventID = ?"),
        {m_meetId, eventId});
}

} // namespace Kavvix
