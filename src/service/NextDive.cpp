#include "NextDive.h"
#include "upload/ServerWatchdog.h"

#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

namespace Kavvix {

std::optional<QJsonValue> NextDive::after(const QString &meetId, const QString &eventId,
                                          const QList<DiveRecord> &judged) {
    int round = 0;
    int order = 0;
    for (const DiveRecord &dive : judged) {
        if (std::pair(int(dive.round()), int(dive.divingOrder())) > std::pair(round, order)) {
            round = dive.round();
            order = dive.divingOrder();
        }
    }
    const ServerWatchdog watchdog(m_db);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // Divers who share a diving order (synchro) go under the lowest RegID, as judged dives do.
    query.prepare(
        QStringLiteral("SELECT DiveRound, DivingOrder, RegID, DiveNum, DiveDD FROM tblDiveSheets "
                       "WHERE MeetID = ? AND EventID = ? AND (DiveRound > ? OR (DiveRound = ? AND "
                       "DivingOrder > ?)) ORDER BY DiveRound, DivingOrder, RegID LIMIT 1"));
    for (const QVariant &value :
         {QVariant(meetId), QVariant(eventId), QVariant(round), QVariant(round), QVariant(order)})
        query.addBindValue(value);
    if (!query.exec()) {
        m_lastError = query.lastError().text();
        return std::nullopt;
    }
    if (!query.next())
        return QJsonValue();
    // The dive sheets write the position letter at the end of the dive number ("105B").
    QString number = query.value(3).toString().trimmed();
    QString position;
    if (!number.isEmpty() && number.back().isLetter()) {
        position = number.back().toUpper();
        number.chop(1);
    }
    const QVariant dd = query.value(4);
    return QJsonObject{
        {"round", query.value(0).toInt()},
        {"divingOrder", query.value(1).toInt()},
        {"regId", query.value(2).toInt()},
        {"diveNumber", number},
        {"divePos", position},
        // Seven significant digits: a single-precision column reads back as 2.4, not 2.4000001.
        {"diveDD", dd.isNull() ? QJsonValue() : QString::number(dd.toDouble(), 'g', 7).toDouble()}};
}

} // namespace Kavvix
