#include "DatabaseWorker.h"

#include "ConsoleRegistry.h"
#include "DiveJournal.h"
#include "EventReader.h"
#include "upload/ServerWatchdog.h"
#include "upload/dialect/SqlDialect.h"

#include <kavvix/Error.h>

#include <atomic>
#include <utility>

namespace Kavvix {

namespace {

QString newConnectionName() {
    static std::atomic<int> count = 0;
    return QStringLiteral("kavvix-service-worker-%1").arg(++count);
}

} // namespace

DatabaseWorker::DatabaseWorker(Opener opener, const QString &meetId,
                               std::shared_ptr<DiveJournal> journal, QObject *parent)
    : QObject(parent), m_opener(std::move(opener)), m_connectionName(newConnectionName()),
      m_meetId(meetId), m_journal(std::move(journal)) {}

DatabaseWorker::~DatabaseWorker() {
    close();
}

bool DatabaseWorker::open(QString &problem) {
    try {
        m_db = m_opener(m_connectionName);
    } catch (const Error &e) {
        problem = e.description();
        return false;
    }
    m_table = std::make_unique<ResultsTable>(m_db);
    m_meet = std::make_unique<MeetContext>(m_db, m_meetId);
    m_names = std::make_unique<DiverNames>(m_db, m_meetId);
    m_reader = std::make_unique<EventReader>(*m_meet, *m_table, *m_names);
    m_retry = new QTimer(this);
    m_retry->setInterval(RetryIntervalMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (flushJournal())
            m_retry->stop();
    });
    m_refresh = new QTimer(this);
    m_refresh->setInterval(int(MeetContext::RefreshIntervalMs));
    connect(m_refresh, &QTimer::timeout, this, &DatabaseWorker::refreshMeet);
    m_refresh->start();
    m_consoles = new QTimer(this);
    m_consoles->setInterval(ConsolesIntervalMs);
    connect(m_consoles, &QTimer::timeout, this, &DatabaseWorker::readConsoles);
    m_consoles->start();

    for (const QString &line : m_journal->skipped())
        emit logLine(line);
    if (m_journal->droppedBytes() > 0)
        emit logLine(QStringLiteral("journal: dropped %1 bytes of a record cut short")
                         .arg(m_journal->droppedBytes()));
    if (!m_journal->isEmpty() && !flushJournal())
        m_retry->start();
    refreshMeet();
    readConsoles();
    return true;
}

void DatabaseWorker::close() {
    // Timers are stopped on their own thread.
    delete std::exchange(m_retry, nullptr);
    delete std::exchange(m_refresh, nullptr);
    delete std::exchange(m_consoles, nullptr);
    if (!m_table)
        return;
    m_reader.reset();
    m_names.reset();
    m_meet.reset();
    m_table.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool DatabaseWorker::reconnect() {
    // A dropped server connection stays broken: open a fresh one. An SQLite file that was
    // locked needs nothing: reopening it would only wait out the lock once more.
    if (m_up || SqlDialect::engineOf(m_db) == SqlDialect::Engine::SQLite)
        return true;
    return reopen() && m_table->ensureTable();
}

void DatabaseWorker::failed() {
    failed(m_table->lastError().simplified());
}

void DatabaseWorker::failed(const QString &problem) {
    if (m_up)
        emit logLine(QStringLiteral("database: %1; dives go to the journal %2")
                         .arg(problem, m_journal->path()));
    m_up = false;
    emit databaseChanged(false, problem);
    if (!m_retry->isActive())
        m_retry->start();
}

bool DatabaseWorker::flushJournal() {
    if (!reconnect()) {
        failed();
        return false;
    }
    const QList<DiveRecord> pending = m_journal->pending();
    for (DiveRecord record : pending) {
        if (m_table->store(record) == ResultsTable::Outcome::Failed) {
            failed();
            return false;
        }
    }
    // With nothing to write, a read tells whether the database answers again.
    if (pending.isEmpty() && !m_up && !m_table->eventCounts(m_meetId)) {
        failed();
        return false;
    }
    // A crash before the journal lets go of them replays them again: the table ignores them.
    if (!m_journal->forget(pending.size())) {
        emit logLine(m_journal->errorText());
        return false;
    }
    if (!m_up) {
        m_up = true;
        emit databaseChanged(true, QString());
        emit logLine(QStringLiteral("database: connected again"));
    }
    if (!pending.isEmpty()) {
        countEvents();
        emit logLine(
            QStringLiteral("journal: %1 dives written to the database").arg(pending.size()));
    }
    return true;
}

void DatabaseWorker::store(quint64 id, DiveRecord record) {
    // After a failure, every dive goes to the journal behind the one that failed until the
    // retry has written them all, in order: one stored directly meanwhile would land before
    // a dive (or a correction) that arrived earlier.
    if (!m_up) {
        emit kept(id, false, record, {}, QStringLiteral("the database is not answering"));
        return;
    }
    // Newer dives wait behind the journal, so a correction never lands before its original.
    if (!m_journal->isEmpty() && !flushJournal()) {
        emit kept(id, false, record, {}, m_table->lastError().simplified());
        return;
    }
    if (!reconnect() || m_table->store(record) == ResultsTable::Outcome::Failed) {
        failed();
        emit kept(id, false, record, {}, m_table->lastError().simplified());
        return;
    }
    if (!m_up) {
        m_up = true;
        emit databaseChanged(true, QString());
    }
    emit stored(id, record);
    const QJsonObject message = id < m_newest ? QJsonObject() : diveMessage(record);
    countEvents();
    emit kept(id, true, record, message, QString());
}

void DatabaseWorker::journalGrew() {
    if (!m_retry->isActive())
        m_retry->start();
}

void DatabaseWorker::run(quint64 id, QDeadlineTimer deadline, const Work &work) {
    // The service has answered 503 already: nothing waits for this any more.
    if (deadline.hasExpired())
        return;
    const ServerWatchdog watchdog(m_db);
    emit answered(id, work(*this));
}

void DatabaseWorker::refreshMeet() {
    // A database that stopped answering while no dive came is found out here too.
    if (!m_meet->refresh()) {
        failed(QStringLiteral("the meet's events cannot be read"));
        return;
    }
    emit meetRead(m_meet->read());
    countEvents();
}

void DatabaseWorker::readConsoles() {
    const ServerWatchdog watchdog(m_db);
    emit consolesRead(ConsoleRegistry::list(m_table->statements(), m_meetId));
}

void DatabaseWorker::describe(const QList<DiveRecord> &records) {
    for (const DiveRecord &record : records) {
        QJsonObject message = diveMessage(record);
        if (!message.contains(QLatin1String("standings"))) {
            // The event could not be read: this connection may have broken while the one
            // that was told of the dive stayed up. Open it afresh and read once more.
            reopen();
            message = diveMessage(record);
        }
        emit described(record, message);
    }
    countEvents();
}

bool DatabaseWorker::reopen() {
    // Its statements are prepared anew on the fresh connection.
    m_table->forgetStatements();
    m_db.close();
    return m_db.open();
}

void DatabaseWorker::countEvents() {
    if (const auto counts = m_table->eventCounts(m_meetId))
        emit counted({*counts, m_reader->names()});
}

// The dive with all that the pages show after it, read once for every client: the event's
// standings, who dives next and where the event stands.
QJsonObject DatabaseWorker::diveMessage(const DiveRecord &record) {
    const ServerWatchdog watchdog(m_db);
    const auto summary = m_reader->summary(record.eventId, record);
    QJsonObject message{{"type", "dive"}};
    if (!summary) {
        QJsonObject dive = record.toJson();
        DiverNames::annotate(dive, m_reader->names());
        message.insert(QStringLiteral("dive"), dive);
        return message;
    }
    message.insert(QStringLiteral("dive"), summary->judged);
    summary->addTo(message);
    return message;
}

} // namespace Kavvix
