#include "NextDive.h"

#include "common/DivePosition.h"

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
    // Dive fields go by the names of the console's dive results, as in the results.
    const DivePosition::DiveCode code =
        DivePosition::splitDiveNumber(query.value(3).toString().trimmed());
    const QVariant dd = query.value(4);
    return QJsonObject{
        {"DiveRound", query.value(0).toInt()},
        {"DivingOrder", query.value(1).toInt()},
        {"regId", query.value(2).toInt()},
        {"DiveNumber", code.number},
        {"DivePos", code.letter.isNull() ? QString() : QString(code.letter.toUpper())},
        // Seven significant digits: a single-precision column reads back as 2.4, not 2.4000001.
        {"DiveDD", dd.isNull() ? QJsonValue() : QString::number(dd.toDouble(), 'g', 7).toDouble()}};
}

} // namespace Kavvix
