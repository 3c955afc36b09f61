#pragma once

#include <kavvix/export.h>

#include <QList>
#include <QString>

namespace Kavvix {

// One dive sheet row that a check of an event found at fault.
struct DiveAtFault {
    QString regId;
    qint16 divingOrder = 0; // 0 when the row has none
    qint16 round = 0;       // 0 when the row has none
    bool operator==(const DiveAtFault &) const = default;
};

// A check of an event that failed before an upload (or, for blank dive numbers, warned),
// with what it found, so that the operator learns who is at fault and not only what.
struct KAVVIX_EXPORT ValidationProblem {
    enum class Check {
        NoDivers,           // no dive sheet rows at all
        TooManyDivers,      // more divers than the console takes
        DivingOrderNotSet,  // dives whose diving order is 0 or missing
        ZeroDD,             // dives whose DD is 0 or missing
        BlankDiveNumber,    // dives without a dive number (a warning only)
        OrderNotSequential, // diving orders that skip numbers
        OrderAboveMaximum,  // diving orders above the console's 25 rows
        DatabaseError,      // the checks could not be made
    };
    // How many dives (or missing diving orders) are listed at most; the counts say how many
    // there are in all.
    static constexpr int MaxListed = 50;

    Check check = Check::DatabaseError;
    QString line;                // the operator message line the check wrote
    bool fatal = true;           // false for a warning, which does not stop the upload
    int divers = 0;              // TooManyDivers: how many divers the event has
    int diveCount = 0;           // all dives at fault; dives holds the first MaxListed of them
    QList<DiveAtFault> dives;    // by diving order, round, RegID
    QList<qint16> missingOrders; // OrderNotSequential: from 1 up, at most MaxListed
    int missingOrderCount = 0;   // OrderNotSequential: all missing diving orders

    bool operator==(const ValidationProblem &) const = default;

    // A stable lower-case name: "no-divers", "too-many-divers", "diving-order-not-set",
    // "zero-dd", "blank-dive-number", "order-not-sequential", "order-above-maximum",
    // "database-error".
    static QString name(Check check);
    QString name() const { return name(check); }
    // What and who, for a person: "DD zero or missing: diving order 3 (RegID 902) round 3".
    QString describe() const;
    // The fatal problems described, joined by "; ".
    static QString describe(const QList<ValidationProblem> &problems);
};

} // namespace Kavvix
