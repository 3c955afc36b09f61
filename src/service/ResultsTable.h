#pragma once

#include "DiveRecord.h"
#include "PreparedStatements.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <optional>

namespace Kavvix {

// The table kavvix_dive_results in the meet database: one row per judged dive, keyed by meet,
// meet event, round and diving order. The host's own tables are only read.
//
// Every row stored (a new dive or a revision) takes the next change number of the database
// from the one-row table kavvix_changes. The counter's row stays locked until the storing
// transaction commits, so change numbers become visible strictly in their order even with
// several services writing: a reader that has seen change n has seen every change before it.
// On PostgreSQL the transaction also notifies DiveChannel with {"meetId", "change"}.
class ResultsTable {
public:
    static inline const QString DiveChannel = QStringLiteral("kavvix_dives");

    enum class Outcome {
        Inserted,  // a new dive: revision 1
        Revised,   // the console sent the dive again with other fields: revision raised
        Unchanged, // an identical repeat, or a replay of something already stored
        Failed,    // the database did not take it; nothing changed
    };

    explicit ResultsTable(const QSqlDatabase &db) : m_db(db), m_statements(db) {}

    // Creates the tables when they are missing and adds the change number to a table of an
    // earlier version; false (with lastError()) when that fails. Writes nothing when all is
    // there, so a reader without the right to write gets by.
    bool ensureTable();
    // Stores the dive in one transaction and sets its revision (and RegID, looked up in the
    // dive sheets). A record older than the stored row never overwrites it, so replaying a
    // journal that was already written leaves the table as it is.
    Outcome store(DiveRecord &record);
    // The event's dives by round, then diving order; nullopt when the query fails.
    std::optional<QList<DiveRecord>> results(const QString &meetId, const QString &eventId);
    // The same dives, one at a time and each with only what an event's standings, panel and
    // progress are computed from: RegID, when it arrived, round, diving order, total and the
    // judges' non-zero awards. Describing a dive reads its whole event: this way it holds no
    // more than one row of it. False when the query fails.
    bool eachSummaryRow(const QString &meetId, const QString &eventId,
                        const std::function<void(const DiveRecord &)> &take);
    // The judge positions that gave a non-zero award anywhere at the meet.
    QList<int> meetPanel(const QString &meetId);
    // The meet's rows stored after change number `after`, in change order; nullopt when the
    // query fails.
    std::optional<QList<DiveRecord>> changesSince(const QString &meetId, qint64 after);
    // The highest change number stored so far (0 for none); nullopt when the query fails.
    std::optional<qint64> lastChange();
    struct EventCount {
        int dives = 0;
        int lastRound = 0;
    };
    // Dives stored so far per meet event, and the highest round among them.
    std::optional<QHash<QString, EventCount>> eventCounts(const QString &meetId);

    // The connection was opened again: its statements are prepared again on next use.
    void forgetStatements() { m_statements.forget(); }
    PreparedStatements &statements() { return m_statements; }

    QString lastError() const { return m_lastError; }

private:
    Outcome storeInTransaction(DiveRecord &record);
    bool takeChangeNumber(DiveRecord &record);
    bool announce(const DiveRecord &record);
    std::optional<QList<DiveRecord>> rows(const QString &condition, const QVariantList &values);
    bool eachRow(const QString &columns, const QString &condition, const QVariantList &values,
                 const std::function<void(const QSqlQuery &)> &take);
    QVariant lookUpRegId(const DiveRecord &record);
    bool fail(const QString &text);

    QSqlQuery *run(const QString &sql, const QVariantList &values);

    QSqlDatabase m_db;
    PreparedStatements m_statements;
    QString m_lastError;
};

} // namespace Kavvix
