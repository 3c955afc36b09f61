#pragma once

#include "DiveRecord.h"

#include <QJsonValue>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace Kavvix {

// Who dives next, from the event's dive sheets: the first planned dive after the last judged
// one (highest round, then diving order), so the next diving order in the round, or the first
// of the next round.
class NextDive {
public:
    explicit NextDive(const QSqlDatabase &db) : m_db(db) {}

    // {"DiveRound", "DivingOrder", "regId", "DiveNumber", "DivePos", "DiveDD"}, null when the
    // event's dive sheets hold nothing after the last judged dive; nullopt when the query fails.
    std::optional<QJsonValue> after(const QString &meetId, const QString &eventId,
                                    const QList<DiveRecord> &judged);
    QString lastError() const { return m_lastError; }

private:
    QSqlDatabase m_db;
    QString m_lastError;
};

} // namespace Kavvix
