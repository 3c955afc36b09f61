#include "Standings.h"

#include <QJsonObject>

#include <algorithm>
#include <map>

namespace Kavvix {

namespace {

struct Diver {
    int divingOrder = 0;
    QVariant regId;
    double total = 0;
    qint64 latestMs = -1;
    int divesJudged = 0;
};

} // namespace

QJsonArray standings(const QList<DiveRecord> &dives) {
    std::map<int, Diver> divers;
    for (const DiveRecord &dive : dives) {
        Diver &diver = divers[dive.divingOrder()];
        diver.divingOrder = dive.divingOrder();
        ++diver.divesJudged;
        if (!dive.regId.isNull())
            diver.regId = dive.regId;
        if (dive.receivedAtMs >= diver.latestMs) {
            diver.latestMs = dive.receivedAtMs;
            diver.total = dive.totalScore();
        }
    }
    std::vector<Diver> ranked;
    for (const auto &entry : divers)
        ranked.push_back(entry.second);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Diver &a, const Diver &b) { return a.total > b.total; });
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
