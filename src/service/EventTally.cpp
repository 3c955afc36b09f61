#include "EventTally.h"

#include "JudgePanel.h"

#include <QJsonObject>

#include <algorithm>
#include <vector>

namespace Kavvix {

EventTally::EventTally(const QList<DiveRecord> &dives) {
    for (const DiveRecord &dive : dives)
        add(dive);
}

void EventTally::add(const DiveRecord &dive) {
    ++m_dives;
    const int round = dive.round();
    const int order = dive.divingOrder();
    m_lastJudged = std::max(m_lastJudged, std::pair(round, order));
    if (!m_latest || dive.receivedAtMs >= m_latest->receivedAtMs)
        m_latest = dive;
    static const QList<QString> awardKeys = [] {
        QList<QString> keys;
        for (int judge = 1; judge <= JudgePanel::MaxJudges; ++judge)
            keys.append(JudgePanel::scoreKey(judge));
        return keys;
    }();
    for (int judge = 1; judge <= JudgePanel::MaxJudges; ++judge)
        if (dive.fields.value(awardKeys[judge - 1]).toDouble() != 0)
            m_awarding |= 1u << judge;

    Diver &diver = m_divers[order];
    ++diver.divesJudged;
    diver.rounds.append(qint16(round));
    if (!dive.regId.isNull())
        diver.regId = dive.regId;
    const Arrival arrival{round, dive.receivedAtMs, dive.totalScore()};
    if (diver.divesJudged == 1 || arrival.ms >= diver.latest.ms) {
        if (diver.divesJudged > 1)
            diver.before = diver.latest;
        diver.latest = arrival;
    } else if (!diver.before || arrival.ms >= diver.before->ms) {
        diver.before = arrival;
    }
}

QList<int> EventTally::positionsAwarding() const {
    QList<int> positions;
    for (int judge = 1; judge <= JudgePanel::MaxJudges; ++judge)
        if (m_awarding & (1u << judge))
            positions.append(judge);
    return positions;
}

QJsonArray EventTally::standings(const DiveRecord *without) const {
    struct Ranked {
        int divingOrder;
        QVariant regId;
        double total;
        int divesJudged;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(m_divers.size());
    for (const auto &[order, diver] : m_divers) {
        Ranked entry{order, diver.regId, diver.latest.total, diver.divesJudged};
        if (without && without->divingOrder() == order && diver.rounds.contains(without->round())) {
            if (--entry.divesJudged == 0)
                continue;
            // Left out: its other latest dive counts, unless the one left out is older still.
            if (diver.latest.round == without->round() && diver.before)
                entry.total = diver.before->total;
        }
        ranked.push_back(entry);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked &a, const Ranked &b) { return a.total > b.total; });
    QJsonArray table;
    int rank = 0;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        if (i == 0 || ranked[i].total != ranked[i - 1].total)
            rank = int(i) + 1;
        table.append(QJsonObject{
            {"rank", rank},
            {"DivingOrder", ranked[i].divingOrder},
            {"regId", ranked[i].regId.isNull() ? QJsonValue() : ranked[i].regId.toInt()},
            {"total", ranked[i].total},
            {"divesJudged", ranked[i].divesJudged}});
    }
    return table;
}

} // namespace Kavvix
