#pragma once

#include "DiveJournal.h"
#include "ResultsTable.h"

#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

namespace Kavvix {

// Puts every judged dive somewhere safe before it is announced: in the results table when the
// database takes it, otherwise in the journal, which is written to the database (in arrival
// order, before any newer dive) as soon as the database answers again. While the database is
// known to be away, a dive goes straight to the journal: only the retry, once a second, waits
// for the database.
class DiveKeeper : public QObject {
    Q_OBJECT

public:
    enum class Place { Database, Journal, Nowhere };
    static constexpr int RetryIntervalMs = 1000;

    DiveKeeper(const QSqlDatabase &db, ResultsTable &table, DiveJournal &journal,
               QObject *parent = nullptr);

    // Writes what the journal holds from an earlier run; the rest stays pending.
    void replayJournal();
    Place keep(DiveRecord &record);
    bool hasPending() const { return !m_journal.isEmpty(); }
    // False from a failed write until the journal has been written to the database again.
    bool databaseUp() const { return m_databaseUp; }

signals:
    void logLine(const QString &text);

private:
    bool reconnect();
    bool flushJournal();
    void databaseFailed();

    QSqlDatabase m_db;
    ResultsTable &m_table;
    DiveJournal &m_journal;
    QTimer m_retry;
    bool m_databaseUp = true;
};

} // namespace Kavvix
