#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>

#include "RecordSet.h"

#include <QSqlRecord>

#include <initializer_list>
#include <optional>

namespace Kavvix {

namespace {

struct TableColumns {
    QLatin1String table;
    std::initializer_list<QLatin1String> columns;
};

// Every table and column the upload reads.
const TableColumns MeetTables[] = {
    {QLatin1String("tblMeetInfo"), {QLatin1String("MeetID"), QLatin1String("MeetName")}},
    {QLatin1String("tblEventInfo"),
     {QLatin1String("MeetID"), QLatin1String("EventID"), QLatin1String("EventName"),
      QLatin1String("combinedevent"), QLatin1String("CombinedEventID")}},
    {QLatin1String("tblDiveSheets"),
     {QLatin1String("MeetID"), QLatin1String("EventID"), QLatin1String("RegID"),
      QLatin1String("DivingOrder"), QLatin1String("DiveRound"), QLatin1String("DiveNum"),
      QLatin1String("DiveDD")}},
};

[[noreturn]] void notAMeetDatabase(const QString &what) {
    throw Error(Error::InvalidArgument, QStringLiteral("Not a meet database: ") + what);
}

// The columns of a table, or nullopt when the table cannot be read.
std::optional<QSqlRecord> columnsOf(const QSqlDatabase &db, QLatin1String table) {
    try {
        return RecordSet::open(db, QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(table), {})
            ->record();
    } catch (const RecordSet::QueryFailure &) {
        return std::nullopt;
    }
}

bool hasColumn(const QSqlRecord &record, QLatin1String column) {
    for (int i = 0; i < record.count(); ++i)
        if (record.fieldName(i).compare(column, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

void requireMeetTables(const QSqlDatabase &db) {
    for (const TableColumns &expected : MeetTables) {
        const std::optional<QSqlRecord> record = columnsOf(db, expected.table);
        if (!record) {
            // A table that cannot be read is missing only when the database still answers.
            try {
                RecordSet::open(db, QStringLiteral("SELECT 1"), {});
            } catch (const RecordSet::QueryFailure &e) {
                throw Error(Error::InvalidArgument,
                            QStringLiteral("Cannot read the meet database: ") + e.text());
            }
            notAMeetDatabase(QStringLiteral("the table %1 is missing").arg(expected.table));
        }
        for (QLatin1String column : expected.columns)
            if (!hasColumn(*record, column))
                notAMeetDatabase(
                    QStringLiteral("the table %1 has no column %2").arg(expected.table, column));
    }
}

bool hasMeet(const QSqlDatabase &db, const QString &meetId) {
    try {
        auto rs = RecordSet::open(
            db, QStringLiteral("SELECT COUNT(*) FROM tblMeetInfo WHERE MeetID = ?"), {meetId});
        return rs->first() && RecordSet::numberOf(rs->value(0)) > 0;
    } catch (const RecordSet::QueryFailure &e) {
        throw Error(Error::InvalidArgument,
                    QStringLiteral("Cannot read the meets of the database: ") + e.text());
    }
}

} // namespace Kavvix
