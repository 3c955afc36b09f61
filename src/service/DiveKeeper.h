#pragma once

#include "DiveRecord.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>

namespace Kavvix {

class DatabaseWorker;
class DiveJournal;

// Puts every judged dive somewhere safe before it is announced, without waiting for the
// database on the service's thread: the dive goes to the database thread, and when that has
// stored it within AnswerDeadlineMs (of the dive's handing over, or of the thread's last
// answer), the dive is kept in the database and announced with what the thread read for the
// feed, or alone when that reading takes another AnswerDeadlineMs. Otherwise (no answer in time, or
// the database refused it) the dive is appended to the journal here, once, and announced alone; a
// late answer changes nothing (the database thread writes the journal to the database later, and
// the table ignores a replay of what it holds). While the database is known to be away, dives go to
// the journal straight away. Dives are kept in arrival order.
class DiveKeeper : public QObject {
    Q_OBJECT

public:
    enum class Place { Database, Journal, Nowhere };
    static constexpr int AnswerDeadlineMs = 250;

    DiveKeeper(DatabaseWorker &worker, DiveJournal &journal, QObject *parent = nullptr);

    void keep(const DiveRecord &record);
    // Puts the dives still waiting for the database thread in the journal (as the service
    // stops, so that none is lost with the thread).
    void journalWaiting();
    // False from a failed or late write until the database thread has written to the
    // database again.
    bool databaseUp() const { return m_up; }
    // Why the database is away, while it is.
    const QString &problem() const { return m_problem; }

signals:
    // In arrival order. message is the feed's message for a dive kept in the database, and
    // empty otherwise.
    void kept(const Kavvix::DiveRecord &record, Kavvix::DiveKeeper::Place place,
              const QJsonObject &message);
    void logLine(const QString &text);

private:
    struct Waiting {
        quint64 id;
        DiveRecord record;
        bool stored = false; // committed; what the feed announces with it is being read
    };
    void onStored(quint64 id, const DiveRecord &record);
    void onDeadline();
    void progressed();
    void onKept(quint64 id, bool stored, const DiveRecord &record, const QJsonObject &message,
                const QString &problem);
    void onDatabaseChanged(bool up, const QString &problem);
    void giveUp();
    void journal(DiveRecord record);
    void armDeadline();
    void setDown(const QString &problem);

    DatabaseWorker &m_worker;
    DiveJournal &m_journal;
    QList<Waiting> m_waiting;
    QTimer m_deadline;
    quint64 m_nextId = 0;
    bool m_up = true;
    QString m_problem;
};

} // namespace Kavvix
