#include <kavvix/MeetDatabase.h>

#include "RecordSet.h"
#include "common/NumericText.h"
#include "upload/dialect/SqlDialect.h"

#include <QVariantList>

#include <exception>

namespace Kavvix::modKavvix {

namespace {

// The WHERE condition choosing an event's dive sheets, with the meet already bound first.
// An identifier beginning with "CE" names a combined event: its dive sheets are those of the
// meet's events whose CombinedEventID it is.
struct EventCondition {
    QString sql;
    QVariantList values;
};

EventCondition eventCondition(const QString &sMeetID, const QString &sEventID) {
    if (sEventID.startsWith(QLatin1String("CE"), Qt::CaseSensitive))
        return {QStringLiteral("EventID IN (SELECT EventID FROM tblEventInfo WHERE MeetID = ? "
                               "AND CombinedEventID = ?) "),
                {sMeetID, sMeetID, sEventID}};
    return {QStringLiteral("EventID = ? "), {sMeetID, sEventID}};
}

} // namespace

std::unique_ptr<QSqlQuery> GetMeetEvents(const QString &sMeetID, const QSqlDatabase &odbConn) {
    try {
        return RecordSet::open(odbConn,
                               QStringLiteral("SELECT EventName, EventID FROM tblEventInfo "
                                              "WHERE MeetID = ? and combinedevent = false "
                                              "ORDER BY EventName"),
                               {sMeetID});
    } catch (const std::exception &) {
        return nullptr;
    }
}

QString GetMeetName(const QString &sMeetID, const QSqlDatabase &odbConn) {
    try {
        auto rs = RecordSet::open(
            odbConn, QStringLiteral("SELECT MeetName FROM tblMeetInfo WHERE MeetID = ?"),
            {sMeetID});
        if (!rs->first())
            return QString();
        const QVariant name = rs->value(QStringLiteral("MeetName"));
        return name.isNull() ? QString() : name.toString();
    } catch (const std::exception &) {
        return QStringLiteral("Unknown");
    }
}

std::unique_ptr<QSqlQuery> GetDiveSheets(const QString &sMeetID, const QString &sEventID,
                                         const QSqlDatabase &odbConn) {
    const EventCondition event = eventCondition(sMeetID, sEventID);
    try {
        return RecordSet::open(
            odbConn,
            QStringLiteral("SELECT DivingOrder, DiveRound, DiveNum, DiveDD FROM tblDiveSheets "
                           "WHERE MeetID = ? AND ") +
                event.sql + QStringLiteral("ORDER BY ") +
                SqlDialect::ascendingNullsFirst(odbConn, QStringLiteral("DivingOrder")) +
                QStringLiteral(", DiveRound"),
            event.values);
    } catch (const std::exception &) {
        return nullptr;
    }
}

qint16 GetLastDiver(const QString &sMeetID, const QString &sEventID, const QSqlDatabase &odbConn) {
    const EventCondition event = eventCondition(sMeetID, sEventID);
    try {
        auto rs = RecordSet::open(odbConn,
                                  QStringLiteral("SELECT MAX(DivingOrder) AS LastDiver FROM "
                                                 "tblDiveSheets WHERE MeetID = ? AND ") +
                                      event.sql,
                                  event.values);
        if (!rs->first())
            return 0;
        return NumericText::roundToInt16(
            RecordSet::numberOf(rs->value(QStringLiteral("LastDiver"))));
    } catch (const std::exception &) {
        return 0; // a failed query or a maximum beyond 16 bits
    }
}

} // namespace Kavvix::modKavvix
