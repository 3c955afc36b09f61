#pragma once

#include "DiveRecord.h"
#include "DiverNames.h"
#include "MeetContext.h"
#include "ResultsTable.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

namespace Kavvix {

class DiveJournal;
class EventReader;

// Every statement the service runs, on a thread of its own with a connection of its own, so
// that a locked file or a frozen server holds up nothing but this thread: the line, the feed,
// the HTTP clients and the signals are served meanwhile. Its slots are called through queued
// calls from the service's thread, and it answers with signals.
//
// It writes the journal's dives to the database (oldest first, before any newer dive, so a
// correction never lands before its original), retrying once a second while the journal holds
// any and the database does not take them; it never appends to the journal itself: the
// service's thread does, so that a dive is safe without waiting for this thread.
class DatabaseWorker : public QObject {
    Q_OBJECT

public:
    static constexpr int RetryIntervalMs = 1000;
    // How stale the list of the meet's consoles that /api/meet shows may be.
    static constexpr int ConsolesIntervalMs = 1000;
    // Opens the worker's connection under the name given, on the worker's thread.
    using Opener = std::function<QSqlDatabase(const QString &connectionName)>;
    // What a request reads on this thread; what it returns builds the answer on the
    // service's thread.
    using Answer = std::function<QHttpServerResponse()>;
    using Work = std::function<Answer(DatabaseWorker &)>;
    struct Figures {
        QHash<QString, ResultsTable::EventCount> counts;
        DiverNames::Map names;
    };

    DatabaseWorker(Opener opener, const QString &meetId, std::shared_ptr<DiveJournal> journal,
                   QObject *parent = nullptr);
    ~DatabaseWorker() override;

    // On the worker's thread: opens the connection and writes what the journal holds from an
    // earlier run (what the database does not take stays pending). False with the problem
    // when the connection cannot be had.
    bool open(QString &problem);
    // On the worker's thread, as it ends: lets go of the connection.
    void close();

    // Stores the dive (after what the journal holds) and answers with stored() once it is
    // committed, then with kept(). Only the newest dive handed over gets the feed's message
    // read: a burst is announced as it is stored, its last dive with the event's standings.
    void store(quint64 id, DiveRecord record);
    // Called on the service's thread as it hands dive id over.
    void handed(quint64 id) { m_newest = id; }
    // The journal has a new dive: it is written within RetryIntervalMs once the database
    // takes it.
    void journalGrew();
    // Runs work unless its deadline has passed and answers with answered().
    void run(quint64 id, QDeadlineTimer deadline, const Work &work);
    // Reads the meet again and answers with meetRead().
    void refreshMeet();
    // Reads the meet's consoles (their rows in kavvix_consoles) and answers with consolesRead().
    void readConsoles();
    // On a mirror: reads what the pages show after each of these dives, which a console's
    // service stored, and answers with described() for each, in order.
    void describe(const QList<Kavvix::DiveRecord> &records);
    // The connection broke while another stayed up (a server's idle time-out, say): opens it
    // afresh; false when it cannot be opened.
    bool reopen();

    MeetContext &meet() { return *m_meet; }
    EventReader &reader() { return *m_reader; }
    ResultsTable &table() { return *m_table; }

signals:
    // The dive is committed, with its revision set.
    void stored(quint64 id, const Kavvix::DiveRecord &record);
    // stored: the dive is in the database, with its revision set, and message is what the
    // feed announces (the dive with the event's standings, next diver and progress; empty when
    // a newer dive is waiting); else problem says why the database did not take it.
    void kept(quint64 id, bool stored, const Kavvix::DiveRecord &record, const QJsonObject &message,
              const QString &problem);
    // The database took a write again (up) or failed one, with the reason.
    void databaseChanged(bool up, const QString &problem);
    // What the pages show of the meet as a whole, read again.
    void meetRead(const Kavvix::MeetContext::Read &read);
    // The dives stored per event and the divers' names, read again.
    void counted(const Kavvix::DatabaseWorker::Figures &figures);
    void answered(quint64 id, const Kavvix::DatabaseWorker::Answer &answer);
    void consolesRead(const QJsonArray &consoles);
    void described(const Kavvix::DiveRecord &record, const QJsonObject &message);
    void logLine(const QString &text);

private:
    bool reconnect();
    bool flushJournal();
    void failed();
    void failed(const QString &problem);
    void countEvents();
    QJsonObject diveMessage(const DiveRecord &record);

    Opener m_opener;
    QString m_connectionName;
    QString m_meetId;
    std::shared_ptr<DiveJournal> m_journal;
    QSqlDatabase m_db;
    std::unique_ptr<ResultsTable> m_table;
    std::unique_ptr<MeetContext> m_meet;
    std::unique_ptr<DiverNames> m_names;
    std::unique_ptr<EventReader> m_reader;
    QTimer *m_retry = nullptr;
    QTimer *m_refresh = nullptr;
    QTimer *m_consoles = nullptr;
    bool m_up = true;
    std::atomic<quint64> m_newest = 0;
};

} // namespace Kavvix
