#include "EventSummary.h"

#include "EventPlan.h"
#include "JudgePanel.h"

#include <QJsonArray>

namespace Kavvix {

namespace {

// Rank by diving order.
QHash<int, int> ranks(const QJsonArray &table) {
    QHash<int, int> byOrder;
    for (const QJsonValue &entry : table)
        byOrder.insert(entry[QLatin1String("DivingOrder")].toInt(),
                       entry[QLatin1String("rank")].toInt());
    return byOrder;
}

QJsonValue rankOrNull(const QHash<int, int> &ranks, int divingOrder) {
    const auto found = ranks.constFind(divingOrder);
    return found == ranks.constEnd() ? QJsonValue() : QJsonValue(*found);
}

QJsonArray numbers(const QList<int> &list) {
    QJsonArray array;
    for (const int n : list)
        array.append(n);
    return array;
}

} // namespace

QString eventState(int divesJudged, int divesPlanned) {
    if (divesJudged == 0)
        return QStringLiteral("not-started");
    return divesPlanned > 0 && divesJudged >= divesPlanned ? QStringLiteral("finished")
                                                           : QStringLiteral("in-progress");
}

EventSummary EventSummary::build(const Sources &sources, const std::optional<DiveRecord> &judged) {
    const EventTally &tally = sources.tally;
    EventSummary summary;
    summary.panel = JudgePanel::panelOf(tally.positionsAwarding(), sources.meetPanel);

    const std::optional<DiveRecord> focus = judged ? judged : tally.latest();
    const QHash<int, int> previous = ranks(tally.standings(focus ? &*focus : nullptr));
    const QJsonArray table = tally.standings();
    const QHash<int, int> now = ranks(table);
    const QHash<int, EventPlan::Upcoming> upcoming = sources.plan.upcoming(tally.lastJudged());
    for (const QJsonValue &value : table) {
        QJsonObject entry = value.toObject();
        const int order = entry[QLatin1String("DivingOrder")].toInt();
        entry.insert(QStringLiteral("previousRank"), rankOrNull(previous, order));
        // When the diver is up again: the round, and how many dives come first.
        const auto coming = upcoming.constFind(order);
        entry.insert(QStringLiteral("nextRound"),
                     coming == upcoming.constEnd() ? QJsonValue() : coming->round);
        entry.insert(QStringLiteral("divesBefore"),
                     coming == upcoming.constEnd() ? QJsonValue() : coming->divesBefore);
        DiverNames::annotate(entry, sources.names);
        summary.standings.append(entry);
    }

    QJsonValue next = sources.plan.next(tally.lastJudged());
    if (next.isObject()) {
        QJsonObject object = next.toObject();
        DiverNames::annotate(object, sources.names);
        next = object;
    }
    summary.next = next;

    const int planned = sources.plan.plannedDives();
    summary.progress = {{"round", focus ? int(focus->round()) : 0},
                        {"rounds", sources.plan.rounds()},
                        {"diver", focus ? sources.plan.diverNumber(focus->divingOrder()) : 0},
                        {"divers", sources.plan.divers()},
                        {"judged", tally.dives()},
                        {"planned", planned},
                        {"state", eventState(tally.dives(), planned)}};

    if (focus) {
        QJsonObject dive = focus->toJson();
        DiverNames::annotate(dive, sources.names);
        JudgePanel::annotate(dive, summary.panel);
        dive.insert(QStringLiteral("placeBefore"), rankOrNull(previous, focus->divingOrder()));
        dive.insert(QStringLiteral("place"), rankOrNull(now, focus->divingOrder()));
        summary.judged = dive;
    }
    return summary;
}

QJsonObject EventSummary::toJson(const QString &eventId) const {
    QJsonObject object{{"eventId", eventId},
                       {"judged", judged.isEmpty() ? QJsonValue() : QJsonValue(judged)}};
    addTo(object);
    return object;
}

void EventSummary::addTo(QJsonObject &message) const {
    message.insert(QStringLiteral("standings"), standings);
    message.insert(QStringLiteral("next"), next);
    message.insert(QStringLiteral("progress"), progress);
    message.insert(QStringLiteral("panel"), numbers(panel));
}

} // namespace Kavvix
