#pragma once

#include "DiveRecord.h"
#include "PreparedStatements.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace Kavvix {

// The table kavvix_dive_results in the meet database: one row per judged dive, keyed by meet,
// meet event, round and diving order. The host's own tables are only read.
class ResultsTable {
public:
    enum class Outcome {
        Inserted,  // a new dive: revision 1
        Revised,   // the console sent the dive again with other fields: revision raised
        Unchanged, // an identical repeat, or a replay of something already stored
        Failed,    // the database did not take it; nothing changed
    };

    explicit ResultsTable(const QSqlDatabase &db) : m_db(db), m_statements(db) {}

    // Creates the table when it is missing; false (with lastError()) when that fails.
    bool ensureTable();
    // Stores the dive in one transaction and sets its revision (and RegID, looked up in the
    // dive sheets). A record older than the stored row never overwrites it, so replaying a
    // journal that was already written leaves the table as it is.
    Outcome store(DiveRecord &record);
    // The event's dives by round, then diving order; nullopt when the query fails.
    std::optional<QList<DiveRecord>> results(const QString &meetId, const QString &eventId);
    // The judge positions that gave a non-zero award anywhere at the meet.
    QList<int> meetPanel(const QString &meetId);
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
    QVariant lookUpRegId(const DiveRecord &record);
    bool fail(const QString &text);

    QSqlQuery *run(const QString &sql, const QVariantList &values);

    QSqlDatabase m_db;
    PreparedStatements m_statements;
    QString m_lastError;
};

} // namespace Kavvix
