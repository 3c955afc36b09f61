#include "DiveKeeper.h"

#include "upload/dialect/SqlDialect.h"

namespace Kavvix {

DiveKeeper::DiveKeeper(const QSqlDatabase &db, ResultsTable &table, DiveJournal &journal,
                       QObject *parent)
    : QObject(parent), m_db(db), m_table(table), m_journal(journal) {
    m_retry.setInterval(RetryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (flushJournal())
            m_retry.stop();
    });
}

void DiveKeeper::replayJournal() {
    for (const QString &line : m_journal.skipped())
        emit logLine(line);
    if (m_journal.droppedBytes() > 0)
        emit logLine(QStringLiteral("journal: dropped %1 bytes of a record cut short")
                         .arg(m_journal.droppedBytes()));
    if (!m_journal.isEmpty() && !flushJournal())
        m_retry.start();
}

bool DiveKeeper::reconnect() {
    // A dropped server connection stays broken: open a fresh one. An SQLite file that was
    // locked needs nothing: reopening it would only wait out the lock once more.
    if (m_databaseUp || SqlDialect::engineOf(m_db) == SqlDialect::Engine::SQLite)
        return true;
    // Its statements are prepared anew on the fresh connection.
    m_table.forgetStatements();
    m_db.close();
    return m_db.open() && m_table.ensureTable();
}

void DiveKeeper::databaseFailed() {
    if (m_databaseUp)
        emit logLine(QStringLiteral("database: %1; dives go to the journal %2")
                         .arg(m_table.lastError().simplified(), m_journal.path()));
    m_databaseUp = false;
    if (!m_retry.isActive())
        m_retry.start();
}

bool DiveKeeper::flushJournal() {
    if (!reconnect())
        return false;
    const QList<DiveRecord> pending = m_journal.pending();
    for (DiveRecord record : pending) {
        if (m_table.store(record) == ResultsTable::Outcome::Failed) {
            databaseFailed();
            return false;
        }
    }
    // A crash before the journal is cleared replays these again: the table ignores them.
    if (!m_journal.clear()) {
        emit logLine(m_journal.errorText());
        return false;
    }
    if (!m_databaseUp) {
        m_databaseUp = true;
        emit logLine(QStringLiteral("database: connected again"));
    }
    if (!pending.isEmpty())
        emit logLine(
            QStringLiteral("journal: %1 dives written to the database").arg(pending.size()));
    return true;
}

DiveKeeper::Place DiveKeeper::keep(DiveRecord &record) {
    // Newer dives wait behind the journal, so a correction never lands before its original.
    if (m_databaseUp && (m_journal.isEmpty() || flushJournal())) {
        if (m_table.store(record) != ResultsTable::Outcome::Failed)
            return Place::Database;
        databaseFailed();
    }
    record.revision = 0;
    if (!m_journal.append(record)) {
        emit logLine(m_journal.errorText());
        return Place::Nowhere;
    }
    return Place::Journal;
}

} // namespace Kavvix
