#pragma once

#include "DiveRecord.h"

#include <QJsonArray>
#include <QList>

#include <functional>

namespace Kavvix {

// Which judges sit on an event's panel, and which of their awards the rules discard.
namespace JudgePanel {

// The largest number of judges a dive carries (J1Score to J9Score).
constexpr int MaxJudges = 9;
// The dive field of a judge's award: "J1Score" to "J9Score".
QString scoreKey(int judge);
// Until an award tells otherwise, a panel is the smaller one of individual events.
constexpr int UnknownPanelSize = 5;

// The event's panel: the positions awarding in its dives (EventTally::positionsAwarding), else
// those awarding anywhere at the meet (a meet mostly keeps its panel from event to event; asked
// only then), else the first UnknownPanelSize.
QList<int> panelOf(const QList<int> &awardingInEvent,
                   const std::function<QList<int>()> &awardingAtMeet);

// The positions among awards (index into it) that the rules discard: with 5 awards the highest
// and the lowest, with 7 the two highest and the two lowest; ties go to the earlier judge.
// Empty when the kept awards times dd do not give total within 0.01 (a penalty, a synchronised
// panel): the console knows better, and the page must never contradict it.
QList<int> discarded(const QList<double> &awards, double dd, double total);

// The dive's awards on the panel: [{"judge", "award", "discarded"}], in judge order.
QJsonArray awards(const QJsonObject &fields, const QList<int> &panel);

// A flag the console sets: any character but a blank, "0" or "N".
bool flagSet(const QJsonValue &flag);

// Adds "awards", "failed", "balked" and "corrected" to a dive in the API's shape.
void annotate(QJsonObject &dive, const QList<int> &panel);

} // namespace JudgePanel

} // namespace Kavvix
