#include "JudgePanel.h"

#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Kavvix::JudgePanel {

namespace {

// How many awards the rules drop at each end for a panel of this size; -1: no rule.
int droppedAtEachEnd(qsizetype panelSize) {
    switch (panelSize) {
    case 5:
        return 1;
    case 7:
        return 2;
    default:
        return -1;
    }
}

} // namespace

QString scoreKey(int judge) {
    return QStringLiteral("J%1Score").arg(judge);
}

QList<int> panelOf(const QList<int> &awardingInEvent,
                   const std::function<QList<int>()> &awardingAtMeet) {
    if (!awardingInEvent.isEmpty())
        return awardingInEvent;
    if (QList<int> meetPanel = awardingAtMeet ? awardingAtMeet() : QList<int>{};
        !meetPanel.isEmpty())
        return meetPanel;
    QList<int> panel;
    for (int judge = 1; judge <= UnknownPanelSize; ++judge)
        panel.append(judge);
    return panel;
}

QList<int> discarded(const QList<double> &awards, double dd, double total) {
    const int drop = droppedAtEachEnd(awards.size());
    // A failed dive scores nothing: there is nothing to discard.
    if (drop < 0 || total <= 0)
        return {};
    QList<int> order(awards.size());
    std::iota(order.begin(), order.end(), 0);
    // Stable: of equal awards the earlier judge's goes first among the lowest and last among
    // the highest, so the marks are the same on every screen.
    std::stable_sort(order.begin(), order.end(),
                     [&awards](int a, int b) { return awards[a] < awards[b]; });
    double kept = 0;
    for (qsizetype i = drop; i < order.size() - drop; ++i)
        kept += awards[order[i]];
    if (std::abs(kept * dd - total) > 0.01 + 1e-9)
        return {};
    QList<int> dropped = order.mid(0, drop) + order.mid(order.size() - drop);
    std::sort(dropped.begin(), dropped.end());
    return dropped;
}

QJsonArray awards(const QJsonObject &fields, const QList<int> &panel) {
    QList<double> values;
    for (const int judge : panel)
        values.append(fields.value(scoreKey(judge)).toDouble());
    const QList<int> dropped = discarded(values, fields.value(QLatin1String("DiveDD")).toDouble(),
                                         fields.value(QLatin1String("DiveTotal")).toDouble());
    QJsonArray list;
    for (int i = 0; i < panel.size(); ++i)
        list.append(QJsonObject{
            {"judge", panel[i]}, {"award", values[i]}, {"discarded", dropped.contains(i)}});
    return list;
}

bool flagSet(const QJsonValue &flag) {
    const QString text = flag.toString().trimmed();
    return !text.isEmpty() && text != QLatin1String("0") &&
           text.compare(QLatin1String("N"), Qt::CaseInsensitive) != 0;
}

void annotate(QJsonObject &dive, const QList<int> &panel) {
    dive.insert(QStringLiteral("awards"), awards(dive, panel));
    dive.insert(QStringLiteral("failed"), flagSet(dive.value(QLatin1String("FAILflag"))));
    dive.insert(QStringLiteral("balked"), flagSet(dive.value(QLatin1String("BALKflag"))));
    dive.insert(QStringLiteral("corrected"), dive.value(QLatin1String("revision")).toInt() > 1);
}

} // namespace Kavvix::JudgePanel
