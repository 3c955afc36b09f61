#include "DiveKeeper.h"

#include "DatabaseWorker.h"
#include "DiveJournal.h"

#include <utility>

namespace Kavvix {

DiveKeeper::DiveKeeper(DatabaseWorker &worker, DiveJournal &journal, QObject *parent)
    : QObject(parent), m_worker(worker), m_journal(journal) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &DiveKeeper::onDeadline);
    connect(&worker, &DatabaseWorker::stored, this, &DiveKeeper::onStored);
    connect(&worker, &DatabaseWorker::kept, this, &DiveKeeper::onKept);
    connect(&worker, &DatabaseWorker::databaseChanged, this, &DiveKeeper::onDatabaseChanged);
}

void DiveKeeper::keep(const DiveRecord &record) {
    if (!m_up) {
        journal(record);
        return;
    }
    const quint64 id = ++m_nextId;
    m_waiting.append({id, record});
    m_worker.handed(id);
    QMetaObject::invokeMethod(&m_worker,
                              [worker = &m_worker, id, record] { worker->store(id, record); });
    armDeadline();
}

// The database thread must answer within the deadline of the oldest dive handed to it or of
// its last answer, whichever is later: a burst of dives waits its turn without counting as
// the database not answering.
void DiveKeeper::armDeadline() {
    if (m_waiting.isEmpty())
        m_deadline.stop();
    else if (!m_deadline.isActive())
        m_deadline.start(AnswerDeadlineMs);
}

// The database thread answered something: the oldest dive's deadline runs from now.
void DiveKeeper::progressed() {
    m_deadline.stop();
    armDeadline();
}

void DiveKeeper::onStored(quint64 id, const DiveRecord &record) {
    if (!m_waiting.isEmpty() && m_waiting.first().id == id) {
        m_waiting.first().record = record;
        m_waiting.first().stored = true;
    }
    progressed();
}

void DiveKeeper::onKept(quint64 id, bool stored, const DiveRecord &record,
                        const QJsonObject &message, const QString &problem) {
    if (m_waiting.isEmpty() || m_waiting.first().id != id) {
        // Too late: the dive is announced already (from the journal, or stored but alone). A
        // database that took it is back.
        if (stored && !m_up)
            onDatabaseChanged(true, QString());
        progressed();
        return;
    }
    if (!stored) {
        setDown(problem);
        giveUp();
        return;
    }
    m_waiting.removeFirst();
    progressed();
    emit kept(record, Place::Database, message);
}

// A dive stored in time is announced alone when what goes with it takes too long to read;
// one not stored in time goes to the journal, with every dive behind it.
void DiveKeeper::onDeadline() {
    if (m_waiting.isEmpty())
        return;
    if (!m_waiting.first().stored) {
        giveUp();
        return;
    }
    const DiveRecord record = m_waiting.takeFirst().record;
    armDeadline();
    emit kept(record, Place::Database, {});
}

void DiveKeeper::onDatabaseChanged(bool up, const QString &problem) {
    if (up) {
        m_up = true;
        m_problem.clear();
    } else {
        setDown(problem);
    }
}

void DiveKeeper::setDown(const QString &problem) {
    m_up = false;
    m_problem = problem;
}

// The oldest dive had no answer in time (or the database refused it): it and every dive
// behind it go to the journal, in order.
void DiveKeeper::giveUp() {
    if (m_up && !m_waiting.isEmpty())
        emit logLine(QStringLiteral("database: no answer within %1 ms; dives go to the journal %2")
                         .arg(AnswerDeadlineMs)
                         .arg(m_journal.path()));
    if (m_up)
        setDown(QStringLiteral("no answer within %1 ms").arg(AnswerDeadlineMs));
    journalWaiting();
}

void DiveKeeper::journalWaiting() {
    m_deadline.stop();
    const QList<Waiting> waiting = std::exchange(m_waiting, {});
    for (const Waiting &dive : waiting)
        journal(dive.record);
}

void DiveKeeper::journal(DiveRecord record) {
    record.revision = 0;
    if (!m_journal.append(record)) {
        emit logLine(m_journal.errorText());
        emit kept(record, Place::Nowhere, {});
        return;
    }
    QMetaObject::invokeMethod(&m_worker, &DatabaseWorker::journalGrew);
    emit kept(record, Place::Journal, {});
}

} // namespace Kavvix
