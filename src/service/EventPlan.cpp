#include "EventPlan.h"

#include "common/DivePosition.h"

#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace Kavvix {

bool EventPlan::load(PreparedStatements &statements, const QString &meetId,
                     const QString &eventId) {
    m_dives.clear();
    m_orders.clear();
    QSqlQuery *query = statements.bind(
        QStringLiteral("SELECT DiveRound, DivingOrder, RegID, DiveNum, DiveDD FROM tblDiveSheets "
                       "WHERE MeetID = ? AND EventID = ? ORDER BY DiveRound, DivingOrder, RegID"),
        {meetId, eventId});
    if (!query) {
        m_lastError = statements.lastError();
        return false;
    }
    if (!query->exec()) {
        m_lastError = query->lastError().text();
        query->finish();
        return false;
    }
    while (query->next()) {
        const int order = query->value(1).toInt();
        m_dives.append(Dive{query->value(0).toInt(), order, query->value(2).toInt(),
                            query->value(3).toString().trimmed(), query->value(4)});
        if (!m_orders.contains(order))
            m_orders.append(order);
    }
    query->finish();
    std::sort(m_orders.begin(), m_orders.end());
    return true;
}

QHash<int, EventPlan::Upcoming> EventPlan::upcoming(std::pair<int, int> last) const {
    QHash<int, Upcoming> next;
    int before = 0;
    std::pair<int, int> previous{-1, -1};
    for (const Dive &dive : m_dives) {
        const std::pair<int, int> key{dive.round, dive.divingOrder};
        if (key <= last || key == previous)
            continue; // judged, or the second diver of a synchronised pair
        previous = key;
        if (!next.contains(dive.divingOrder))
            next.insert(dive.divingOrder, Upcoming{dive.round, before});
        ++before;
    }
    return next;
}

QJsonValue EventPlan::next(std::pair<int, int> last) const {
    // Divers who share a diving order (synchro) go under the lowest RegID, as judged dives do:
    // the first row of the order is theirs.
    const auto found = std::find_if(m_dives.begin(), m_dives.end(), [&last](const Dive &dive) {
        return std::pair(dive.round, dive.divingOrder) > last;
    });
    if (found == m_dives.end())
        return QJsonValue();
    // Dive fields go by the names of the console's dive results, as in the results.
    const DivePosition::DiveCode code = DivePosition::splitDiveNumber(found->diveNumber);
    const QVariant &dd = found->diveDD;
    return QJsonObject{
        {"DiveRound", found->round},
        {"DivingOrder", found->divingOrder},
        {"regId", found->regId},
        {"DiveNumber", code.number},
        {"DivePos", code.letter.isNull() ? QString() : QString(code.letter.toUpper())},
        // Seven significant digits: a single-precision column reads back as 2.4, not 2.4000001.
        {"DiveDD", dd.isNull() ? QJsonValue() : QString::number(dd.toDouble(), 'g', 7).toDouble()}};
}

int EventPlan::rounds() const {
    return m_dives.isEmpty() ? 0 : m_dives.back().round;
}

int EventPlan::diverNumber(int divingOrder) const {
    return int(m_orders.indexOf(divingOrder)) + 1;
}

int EventPlan::plannedDives() const {
    int count = 0;
    for (qsizetype i = 0; i < m_dives.size(); ++i)
        if (i == 0 || m_dives[i].round != m_dives[i - 1].round ||
            m_dives[i].divingOrder != m_dives[i - 1].divingOrder)
            ++count;
    return count;
}

} // namespace Kavvix
