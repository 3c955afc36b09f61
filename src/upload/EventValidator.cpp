#include "EventValidator.h"

#include "RecordSet.h"
#include "common/NumericText.h"
#include "upload/dialect/SqlDialect.h"

#include <kavvix/Error.h>

namespace Kavvix {

namespace {

constexpr int MaxDivers = 25;
using Check = ValidationProblem::Check;

// A field read as a number and held in 16 bits; out-of-range values keep their sign.
qint16 shortOf(const QVariant &field) {
    return qint16(qBound(-32768.0, RecordSet::numberOf(field), 32767.0));
}

// The checks of one event; each query opens its own record set and closes it when done.
class EventChecks {
public:
    EventChecks(const QString &meetID, const QString &eventID, const QSqlDatabase &db)
        : m_meetID(meetID), m_eventID(eventID), m_db(db) {}

    int diverCount() const {
        auto rs = open(QStringLiteral("SELECT DISTINCT RegID FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=?"));
        return RecordSet::rowCount(*rs);
    }

    // True when the event has dive sheets matching the condition.
    bool anyDiveWhere(const QString &condition) const {
        auto rs = open(QStringLiteral("SELECT COUNT(*) AS TTLCount FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=? AND (") +
                       condition + QLatin1Char(')'));
        return rs->first() && RecordSet::numberOf(rs->value(QStringLiteral("TTLCount"))) != 0;
    }

    // The dives matching the condition, by diving order, round and RegID: the first ones
    // listed, all of them counted.
    void listDivesWhere(const QString &condition, ValidationProblem &problem) const {
        auto rs = open(QStringLiteral("SELECT RegID, DivingOrder, DiveRound FROM tblDiveSheets "
                                      "WHERE MeetID=? AND EventID=? AND (") +
                       condition + QStringLiteral(") ORDER BY ") +
                       SqlDialect::ascendingNullsFirst(m_db, QStringLiteral("DivingOrder")) +
                       QStringLiteral(", ") +
                       SqlDialect::ascendingNullsFirst(m_db, QStringLiteral("DiveRound")) +
                       QStringLiteral(", RegID"));
        while (rs->next()) {
            if (++problem.diveCount > ValidationProblem::MaxListed)
                continue;
            problem.dives << DiveAtFault{rs->value(0).toString(), shortOf(rs->value(1)),
                                         shortOf(rs->value(2))};
        }
    }

    // The distinct diving orders in ascending order, each rounded to an integer.
    QList<qint16> distinctOrders() const {
        auto rs = open(QStringLiteral("SELECT DISTINCT DivingOrder FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=? ORDER BY ") +
                       SqlDialect::ascendingNullsFirst(m_db, QStringLiteral("DivingOrder")));
        QList<qint16> orders;
        while (rs->next())
            orders << NumericText::roundToInt16(RecordSet::numberOf(rs->value(0)));
        return orders;
    }

    // The frames hold one row per diving order up to the highest, and room for 25 rows: a
    // higher order would overwrite the first rows on the console or fall out of the frames.
    bool orderAboveMaximum() const {
        auto rs = open(QStringLiteral("SELECT MAX(DivingOrder) AS LastDiver FROM tblDiveSheets "
                                      "WHERE MeetID=? AND EventID=?"));
        return rs->first() &&
               RecordSet::numberOf(rs->value(QStringLiteral("LastDiver"))) > MaxDivers;
    }

    QString blankDiveNum() const {
        return SqlDialect::trimmedLength(m_db, QStringLiteral("DiveNum")) +
               QStringLiteral(" = 0 OR DiveNum IS NULL");
    }

private:
    std::unique_ptr<QSqlQuery> open(const QString &sql) const {
        return RecordSet::open(m_db, sql, {m_meetID, m_eventID});
    }

    const QString &m_meetID;
    const QString &m_eventID;
    const QSqlDatabase &m_db;
};

// The distinct diving orders, in ascending order, are exactly 1 to the highest one: their sum
// is 1 + 2 + ... + the highest.
bool isSequential(const QList<qint16> &orders) {
    qint16 last = 0;
    qint64 sum = 0;
    for (const qint16 order : orders) {
        last = order;
        sum += last;
        if (sum != qint32(sum))
            throw Error::numericOverflow(QStringLiteral("sum of the diving orders"));
    }
    const qint64 expected = last < 1 ? 0 : qint64(last) * (last + 1) / 2;
    return sum == expected;
}

// The diving orders from 1 to the highest that no diver has.
void listMissingOrders(const QList<qint16> &orders, ValidationProblem &problem) {
    const qint16 last = orders.isEmpty() ? 0 : orders.last();
    qsizetype next = 0;
    for (int order = 1; order <= last; ++order) {
        while (next < orders.size() && orders[next] < order)
            ++next;
        if (next < orders.size() && orders[next] == order)
            continue;
        if (++problem.missingOrderCount <= ValidationProblem::MaxListed)
            problem.missingOrders << qint16(order);
    }
}

ValidationProblem problemOf(Check check, const QString &line, bool fatal = true) {
    ValidationProblem problem;
    problem.check = check;
    problem.line = line;
    problem.fatal = fatal;
    return problem;
}

} // namespace

bool ValidateEvent(const QString &sMeetID, const QString &sEventID, const QSqlDatabase &odbConn,
                   const MessageSink &ShowMessage, QList<ValidationProblem> *problems) {
    bool valid = true;
    const auto report = [&](const ValidationProblem &problem) {
        valid = valid && !problem.fatal;
        ShowMessage(problem.line, false);
        if (problems)
            problems->append(problem);
    };
    // Who is at fault is looked up only for a host that asked, and only for a failed check.
    const bool detail = problems != nullptr;

    ShowMessage(QStringLiteral("Validating the event ..."), true);
    const EventChecks checks(sMeetID, sEventID, odbConn);
    try {
        const int divers = checks.diverCount();
        if (divers == 0) {
            report(problemOf(Check::NoDivers, QStringLiteral("-- Invalid event, Unable to "
                                                             "determine number of divers")));
        } else if (divers > MaxDivers) {
            ValidationProblem problem =
                problemOf(Check::TooManyDivers,
                          QStringLiteral("-- Cannot upload event with more than 25 divers"));
            problem.divers = divers;
            report(problem);
        }
        const auto checkDives = [&](Check check, const QString &condition, const QString &line,
                                    bool fatal) {
            if (!checks.anyDiveWhere(condition))
                return;
            ValidationProblem problem = problemOf(check, line, fatal);
            if (detail)
                checks.listDivesWhere(condition, problem);
            report(problem);
        };
        checkDives(Check::DivingOrderNotSet,
                   QStringLiteral("DivingOrder = 0 OR DivingOrder IS NULL"),
                   QStringLiteral("-- Diving order not set for all divers"), true);
        checkDives(Check::ZeroDD, QStringLiteral("DiveDD = 0 OR DiveDD IS NULL"),
                   QStringLiteral("-- DDs of zero found for some dives"), true);
        checkDives(Check::BlankDiveNumber, checks.blankDiveNum(),
                   QStringLiteral("-- WARNING: some dive #s found to be blank"), false);
        const QList<qint16> orders = checks.distinctOrders();
        if (!isSequential(orders)) {
            ValidationProblem problem = problemOf(
                Check::OrderNotSequential,
                QStringLiteral(
                    "-- Diving order is not sequential (starting with 1) for this event"));
            listMissingOrders(orders, problem);
            report(problem);
        }
        // More than 25 divers already explains high diving orders.
        if (divers >= 1 && divers <= MaxDivers && checks.orderAboveMaximum()) {
            ValidationProblem problem =
                problemOf(Check::OrderAboveMaximum,
                          QStringLiteral("-- Cannot upload event with a diving order above 25"));
            if (detail)
                checks.listDivesWhere(QStringLiteral("DivingOrder > 25"), problem);
            report(problem);
        }
    } catch (const RecordSet::QueryFailure &e) {
        // Later checks would only repeat the failure; an event that could not be checked
        // must not be uploaded.
        report(
            problemOf(Check::DatabaseError,
                      QStringLiteral("-- Unable to check the event, database error: ") + e.text()));
    } catch (const Error &e) {
        report(problemOf(Check::DatabaseError,
                         QStringLiteral("-- Unable to check the event: ") + e.description()));
    }
    ShowMessage(valid ? QStringLiteral("Event passed validation checks")
                      : QStringLiteral(">> Process Aborted <<"),
                false);
    return valid;
}

} // namespace Kavvix
