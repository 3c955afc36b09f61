#include "EventValidator.h"

#include "RecordSet.h"
#include "common/NumericText.h"
#include "upload/dialect/SqlDialect.h"

#include <kavvix/Error.h>

namespace Kavvix {

namespace {

constexpr int MaxDivers = 25;

// The checks of one event; each query opens its own record set and closes it when done.
class EventChecks {
public:
    EventChecks(const QString &meetID, const QString &eventID, const QSqlDatabase &db)
        : m_meetID(meetID), m_eventID(eventID), m_db(db) {}

    // Empty when the event is fine; the failure line otherwise.
    QString diverCount() const {
        auto rs = open(QStringLiteral("SELECT DISTINCT RegID FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=?"));
        const int divers = RecordSet::rowCount(*rs);
        if (divers == 0)
            return QStringLiteral("-- Invalid event, Unable to determine number of divers");
        if (divers > MaxDivers)
            return QStringLiteral("-- Cannot upload event with more than 25 divers");
        return {};
    }

    // True when the event has dive sheets matching the condition.
    bool anyDiveWhere(const QString &condition) const {
        auto rs = open(QStringLiteral("SELECT COUNT(*) AS TTLCount FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=? AND (") +
                       condition + QLatin1Char(')'));
        return rs->first() && RecordSet::numberOf(rs->value(QStringLiteral("TTLCount"))) != 0;
    }

    // The distinct diving orders, in ascending order, are exactly 1 to the highest one.
    bool orderIsSequential() const {
        auto rs = open(QStringLiteral("SELECT DISTINCT DivingOrder FROM tblDiveSheets WHERE "
                                      "MeetID=? AND EventID=? ORDER BY ") +
                       SqlDialect::ascendingNullsFirst(m_db, QStringLiteral("DivingOrder")));
        qint16 last = 0;
        qint64 sum = 0;
        while (rs->next()) {
            last = NumericText::roundToInt16(RecordSet::numberOf(rs->value(0)));
            sum += last;
            if (sum != qint32(sum))
                throw Error::numericOverflow(QStringLiteral("sum of the diving orders"));
        }
        const qint64 expected = last < 1 ? 0 : qint64(last) * (last + 1) / 2;
        return sum == expected;
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

} // namespace

bool ValidateEvent(const QString &sMeetID, const QString &sEventID, const QSqlDatabase &odbConn,
                   const MessageSink &ShowMessage) {
    bool valid = true;
    const auto fail = [&](const QString &line) {
        valid = false;
        ShowMessage(line, false);
    };

    ShowMessage(QStringLiteral("Validating the event ..."), true);
    const EventChecks checks(sMeetID, sEventID, odbConn);
    try {
        const QString diverProblem = checks.diverCount();
        if (!diverProblem.isEmpty())
            fail(diverProblem);
        if (checks.anyDiveWhere(QStringLiteral("DivingOrder = 0 OR DivingOrder IS NULL")))
            fail(QStringLiteral("-- Diving order not set for all divers"));
        if (checks.anyDiveWhere(QStringLiteral("DiveDD = 0 OR DiveDD IS NULL")))
            fail(QStringLiteral("-- DDs of zero found for some dives"));
        if (checks.anyDiveWhere(checks.blankDiveNum()))
            ShowMessage(QStringLiteral("-- WARNING: some dive #s found to be blank"), false);
        if (!checks.orderIsSequential())
            fail(QStringLiteral(
                "-- Diving order is not sequential (starting with 1) for this event"));
        // More than 25 divers already explains high diving orders.
        if (diverProblem.isEmpty() && checks.orderAboveMaximum())
            fail(QStringLiteral("-- Cannot upload event with a diving order above 25"));
    } catch (const RecordSet::QueryFailure &e) {
        // Later checks would only repeat the failure; an event that could not be checked
        // must not be uploaded.
        fail(QStringLiteral("-- Unable to check the event, database error: ") + e.text());
    } catch (const Error &e) {
        fail(QStringLiteral("-- Unable to check the event: ") + e.description());
    }
    ShowMessage(valid ? QStringLiteral("Event passed validation checks")
                      : QStringLiteral(">> Process Aborted <<"),
                false);
    return valid;
}

} // namespace Kavvix
