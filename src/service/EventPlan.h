#pragma once

#include "PreparedStatements.h"

#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

namespace Kavvix {

// An event's dive sheets: who dives in which round, in which order, and so who dives next and
// where the event stands.
class EventPlan {
public:
    struct Dive {
        int round = 0;
        int divingOrder = 0;
        int regId = 0;
        QString diveNumber; // "105B" as the dive sheets write it
        QVariant diveDD;
    };

    // Reads the event's dive sheets; false (with lastError()) when the query fails.
    bool load(PreparedStatements &statements, const QString &meetId, const QString &eventId);
    QString lastError() const { return m_lastError; }

    // {"DiveRound", "DivingOrder", "regId", "DiveNumber", "DivePos", "DiveDD"} of the first planned
    // dive after the last judged one (highest round, then diving order): the next diving order
    // in the round, or the first of the next round; null when nothing is left.
    QJsonValue next(std::pair<int, int> lastJudged) const;
    struct Upcoming {
        int round = 0;
        int divesBefore = 0; // planned dives still to come before it
    };
    // Each diving order's next planned dive after the last judged one.
    QHash<int, Upcoming> upcoming(std::pair<int, int> lastJudged) const;
    int rounds() const;
    // Divers in the event: its diving orders (a synchronised pair shares one).
    int divers() const { return int(m_orders.size()); }
    // The place of a diving order in the event's order, 1-based; 0 when it is not planned.
    int diverNumber(int divingOrder) const;
    // Planned dives: one per round and diving order.
    int plannedDives() const;

private:
    QList<Dive> m_dives; // by round, diving order, RegID
    QList<int> m_orders; // ascending
    QString m_lastError;
};

} // namespace Kavvix
