#include <kavvix/ValidationProblem.h>

#include <QStringList>

namespace Kavvix {

namespace {

// "1-5", "1, 3-4": ascending numbers with runs shortened.
QString numberRuns(const QList<qint16> &numbers) {
    QStringList runs;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype end = i;
        while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1)
            ++end;
        runs << (end - i >= 2 ? QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[end])
                              : QString::number(numbers[i]));
        if (end - i == 1)
            runs << QString::number(numbers[end]);
        i = end + 1;
    }
    return runs.join(QStringLiteral(", "));
}

// "diving order 3 (RegID 902) round 3, diving order 0 (RegID 800) rounds 1-5": the rows of one
// diver in one diving order together.
QString diveList(const QList<DiveAtFault> &dives, int total) {
    QStringList parts;
    for (qsizetype i = 0; i < dives.size();) {
        const DiveAtFault &first = dives[i];
        QList<qint16> rounds;
        for (; i < dives.size() && dives[i].divingOrder == first.divingOrder &&
               dives[i].regId == first.regId;
             ++i)
            rounds << dives[i].round;
        QString part = QStringLiteral("diving order %1").arg(first.divingOrder);
        if (!first.regId.isEmpty())
            part += QStringLiteral(" (RegID %1)").arg(first.regId);
        part += (rounds.size() == 1 ? QStringLiteral(" round ") : QStringLiteral(" rounds ")) +
                numberRuns(rounds);
        parts << part;
    }
    if (total > dives.size())
        parts << QStringLiteral("and %1 more").arg(total - dives.size());
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString ValidationProblem::name(Check check) {
    switch (check) {
    case Check::NoDivers:
        return QStringLiteral("no-divers");
    case Check::TooManyDivers:
        return QStringLiteral("too-many-divers");
    case Check::DivingOrderNotSet:
        return QStringLiteral("diving-order-not-set");
    case Check::ZeroDD:
        return QStringLiteral("zero-dd");
    case Check::BlankDiveNumber:
        return QStringLiteral("blank-dive-number");
    case Check::OrderNotSequential:
        return QStringLiteral("order-not-sequential");
    case Check::OrderAboveMaximum:
        return QStringLiteral("order-above-maximum");
    case Check::DatabaseError:
        return QStringLiteral("database-error");
    }
    return {};
}

QString ValidationProblem::describe() const {
    switch (check) {
    case Check::NoDivers:
        return QStringLiteral("no dive sheets for this event");
    case Check::TooManyDivers:
        return QStringLiteral("%1 divers, the console takes at most 25").arg(divers);
    case Check::DivingOrderNotSet:
        return QStringLiteral("no diving order: ") + diveList(dives, diveCount);
    case Check::ZeroDD:
        return QStringLiteral("DD zero or missing: ") + diveList(dives, diveCount);
    case Check::BlankDiveNumber:
        return QStringLiteral("blank dive number: ") + diveList(dives, diveCount);
    case Check::OrderNotSequential: {
        if (missingOrders.isEmpty()) // negative or fractional orders, none missing
            return QStringLiteral("the diving orders do not run 1, 2, 3 ...");
        QString text = (missingOrderCount == 1 ? QStringLiteral("no diver has diving order ")
                                               : QStringLiteral("no diver has diving orders ")) +
                       numberRuns(missingOrders);
        if (missingOrderCount > missingOrders.size())
            text += QStringLiteral(" and %1 more").arg(missingOrderCount - missingOrders.size());
        return text;
    }
    case Check::OrderAboveMaximum:
        return QStringLiteral("diving order above 25: ") + diveList(dives, diveCount);
    case Check::DatabaseError:
        break;
    }
    QString text = line;
    return text.startsWith(QLatin1String("-- ")) ? text.mid(3) : text;
}

QString ValidationProblem::describe(const QList<ValidationProblem> &problems) {
    QStringList parts;
    for (const ValidationProblem &problem : problems)
        if (problem.fatal)
            parts << problem.describe();
    return parts.join(QStringLiteral("; "));
}

} // namespace Kavvix
