#include <kavvix/service/LiveService.h>

#include "ApiServer.h"
#include "ConsoleLink.h"
#include "DatabaseWorker.h"
#include "DiveJournal.h"
#include "DiveKeeper.h"
#include "DiverNames.h"
#include "HealthCheck.h"
#include "JobLauncher.h"
#include "JobOutcome.h"
#include "LiveFeed.h"
#include "MeetContext.h"
#include "OpenFileLimit.h"
#include "ResultsTable.h"
#include "ServiceMetrics.h"
#include "upload/dialect/SqlDialect.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/service/Recording.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>
#include <QUrl>

#include <atomic>

namespace Kavvix {

namespace {

// Each service has a database connection of its own, so that a host can run one after
// another (or side by side) in one process.
QString newConnectionName() {
    static std::atomic<int> count = 0;
    return QStringLiteral("kavvix-service-%1").arg(++count);
}

// How long a write waits for a lock another program holds on a meet file before the dive goes
// to the journal instead: long enough for the host's own short writes, short enough not to
// hold up the line and the clients.
constexpr int LockWaitMs = 250;
// At start the service has nothing to serve yet, and a host writing to the file (or a crash's
// lock) is waited for this long rather than refused.
constexpr int StartLockWaitMs = 30000;
// How long stopping waits for the database thread to finish its statement. A frozen server
// is left behind after that: whatever was announced is in the database or the journal.
constexpr unsigned long StopWaitMs = 1500;

void setLockWait(QSqlDatabase &db, int ms) {
    const QString wait = SqlDialect::lockWaitOptions(db, ms);
    if (wait.isEmpty())
        return;
    db.close(); // the option applies from the next open, and to every reconnection
    db.setConnectOptions(wait);
    db.open();
}

// Waits, up to the start-up time-out, until no other program holds the meet file locked.
void waitForLock(const QString &path) {
    const QString name = newConnectionName();
    {
        QSqlDatabase probe =
            QSqlDatabase::addDatabase(SqlDialect::driverOf(SqlDialect::Engine::SQLite), name);
        probe.setDatabaseName(path);
        probe.setConnectOptions(SqlDialect::lockWaitOptions(probe, StartLockWaitMs));
        if (probe.open())
            QSqlQuery(SqlDialect::openProbe(SqlDialect::Engine::SQLite), probe);
        probe.close();
    }
    QSqlDatabase::removeDatabase(name);
}

[[noreturn]] void cannotStart(const QString &text) {
    throw Error(Error::InvalidArgument, text);
}

// Beside an SQLite file; for a server database, in the user's data folder under a name of
// its own for each database and meet.
QString defaultJournalPath(const QString &database, const QString &meetId) {
    if (SqlDialect::engineNamedBy(database) == SqlDialect::Engine::SQLite)
        return database + QStringLiteral(".") + meetId + QStringLiteral(".journal");
    const QByteArray id =
        QCryptographicHash::hash((database + u'\n' + meetId).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kavvix/journal-") + QString::fromLatin1(id) + QStringLiteral(".jsonl");
}

} // namespace

struct LiveService::Parts {
    // For the start's checks and the uploads' queries; the service's own statements run on
    // the database thread, with its own connection.
    QString connectionName = newConnectionName();
    QSqlDatabase db;
    std::unique_ptr<MeetContext> meet;
    // Shared with the database thread, which may outlive the service when a frozen server
    // holds it at the end.
    std::shared_ptr<DiveJournal> journal = std::make_shared<DiveJournal>();
    QThread *databaseThread = nullptr;
    DatabaseWorker *worker = nullptr;
    DatabaseWorker::Figures figures;
    std::unique_ptr<DiveKeeper> keeper;
    std::unique_ptr<ConsoleLink> link;
    std::unique_ptr<JobLauncher> jobs;
    // Before the API, which answers from them, so that they outlive it.
    ServiceMetrics metrics;
    std::unique_ptr<HealthCheck> health;
    std::unique_ptr<ApiServer> api;
    std::unique_ptr<LiveFeed> feed;
    quint16 httpPort = 0;
    qint64 lastReceivedMs = 0;
    // When each dive waiting to be kept arrived, oldest first (they are kept in order).
    QList<QElapsedTimer> arrivals;
    bool consoleOpen = false;
    Recording::Writer recording;
    QString openFiles; // the limits of open files and connections, logged once started
};

LiveService::LiveService(LiveServiceOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_parts(std::make_unique<Parts>()) {
    if (m_options.journalPath.isEmpty())
        m_options.journalPath = defaultJournalPath(m_options.database, m_options.meetId);
}

LiveService::~LiveService() {
    stop();
    const QString connectionName = m_parts->connectionName;
    m_parts.reset(); // every copy of the connection goes with its parts
    QSqlDatabase::removeDatabase(connectionName);
}

quint16 LiveService::httpPort() const {
    return m_parts->httpPort;
}

void LiveService::setToken(const QString &token) {
    m_options.token = token;
    if (m_parts->api)
        m_parts->api->setToken(token);
}

QString LiveService::journalPath() const {
    return m_options.journalPath;
}

void LiveService::start() {
    if (!m_options.address.isLoopback() && m_options.token.isEmpty())
        cannotStart(QStringLiteral("listening on %1 needs a token (--token or KAVVIX_TOKEN)")
                        .arg(m_options.address.toString()));
    openDatabase();
    openJournal();
    startDatabaseThread();
    wire();
    listen();
    openRecording();
    if (m_options.withConsole)
        openLine();
    emit logLine(m_parts->openFiles);
    emit logLine(QStringLiteral("serving meet %1 on http://%2:%3, %4")
                     .arg(m_options.meetId, m_options.address.toString())
                     .arg(m_parts->httpPort)
                     .arg(m_options.withConsole
                              ? QStringLiteral("console on %1").arg(portName())
                              : QStringLiteral("without a console (stored results only)")));
}

QString LiveService::portName() const {
    return m_options.portName.isEmpty() ? QStringLiteral("COM %1").arg(m_options.portNumber)
                                        : m_options.portName;
}

void LiveService::openDatabase() {
    Parts &p = *m_parts;
    try {
        if (SqlDialect::engineNamedBy(m_options.database) == SqlDialect::Engine::SQLite &&
            QFileInfo(m_options.database).isFile())
            waitForLock(m_options.database);
        p.db = openMeetDatabase(m_options.database, p.connectionName);
        setLockWait(p.db, StartLockWaitMs);
        requireMeetTables(p.db);
    } catch (const Error &e) {
        cannotStart(QStringLiteral("database: %1").arg(e.description()));
    }
    p.meet = std::make_unique<MeetContext>(p.db, m_options.meetId);
    if (!p.meet->hasMeet() || !p.meet->refresh())
        cannotStart(QStringLiteral("database: meet '%1' is not in %2")
                        .arg(m_options.meetId, m_options.database));
    if (!m_options.currentEvent.isEmpty() && !p.meet->hasEvent(m_options.currentEvent))
        cannotStart(QStringLiteral("database: meet %1 has no event '%2'")
                        .arg(m_options.meetId, m_options.currentEvent));
    p.meet->setCurrentEvent(m_options.currentEvent);
    ResultsTable table(p.db);
    if (!table.ensureTable())
        cannotStart(QStringLiteral("database: cannot create kavvix_dive_results: %1")
                        .arg(table.lastError()));
    setLockWait(p.db, LockWaitMs);
    // From here on the database thread reads the meet, and this thread takes what it read.
    p.meet->stopReading();
}

void LiveService::openJournal() {
    if (!m_parts->journal->open(m_options.journalPath))
        cannotStart(m_parts->journal->errorText());
}

void LiveService::startDatabaseThread() {
    Parts &p = *m_parts;
    const QString database = m_options.database;
    p.worker = new DatabaseWorker(
        [database](const QString &name) {
            QSqlDatabase db = openMeetDatabase(database, name);
            setLockWait(db, LockWaitMs);
            return db;
        },
        m_options.meetId, p.journal);
    p.databaseThread = new QThread;
    p.databaseThread->setObjectName(QStringLiteral("kavvix-database"));
    p.worker->moveToThread(p.databaseThread);
    // Ends on that thread, whenever it ends: its connection is used there only.
    connect(p.databaseThread, &QThread::finished, p.worker, &DatabaseWorker::close,
            Qt::DirectConnection);
    connect(p.worker, &DatabaseWorker::logLine, this, &LiveService::logLine);
    connect(p.worker, &DatabaseWorker::meetRead, this,
            [this](const MeetContext::Read &read) { m_parts->meet->adopt(read); });
    connect(p.worker, &DatabaseWorker::counted, this,
            [this](const DatabaseWorker::Figures &figures) { m_parts->figures = figures; });
    p.databaseThread->start();
    bool opened = false;
    QString problem;
    QMetaObject::invokeMethod(
        p.worker, [&] { opened = m_parts->worker->open(problem); }, Qt::BlockingQueuedConnection);
    if (!opened)
        cannotStart(QStringLiteral("database: %1").arg(problem));
}

void LiveService::stopDatabaseThread() {
    Parts &p = *m_parts;
    if (!p.databaseThread)
        return;
    p.databaseThread->quit();
    if (p.databaseThread->wait(StopWaitMs)) {
        delete p.worker;
        delete p.databaseThread;
    } else {
        // Still held by a server that does not answer: it ends on its own once the statement
        // gives up, and the process may end before that.
        emit logLine(QStringLiteral("database: no answer; stopping without it"));
    }
    p.worker = nullptr;
    p.databaseThread = nullptr;
}

void LiveService::listen() {
    // Clients may take every open file but those the database, the journal, the line, the
    // recording and the refusals of clients past the limit need.
    constexpr long long ReservedFiles = 100;
    const OpenFileLimit files = OpenFileLimit::raise();
    GuardedTcpServer::Limits limits;
    limits.maxConnections =
        files.soft < 0 ? 1 << 20 : int(std::clamp(files.soft - ReservedFiles, 16LL, 1LL << 20));
    limits.idleTimeoutMs = m_options.idleTimeoutMs;
    m_parts->openFiles =
        QStringLiteral("%1; at most %2 clients").arg(files.describe()).arg(limits.maxConnections);
    QString problem;
    m_parts->httpPort =
        m_parts->api->listen(m_options.address, m_options.httpPort, limits, problem);
    if (m_parts->httpPort == 0)
        cannotStart(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(m_options.address.toString())
                        .arg(m_options.httpPort)
                        .arg(problem));
}

void LiveService::openRecording() {
    if (m_options.recordPath.isEmpty())
        return;
    if (!m_parts->recording.open(m_options.recordPath))
        cannotStart(m_parts->recording.errorText());
    m_parts->link->setByteTap([this](char byte) { m_parts->recording.append(byte); });
}

void LiveService::openLine() {
    try {
        m_parts->link->open();
    } catch (const Error &e) {
        // The port's description names the device; a port number the user gave is added.
        cannotStart(m_options.portName.isEmpty()
                        ? QStringLiteral("serial port %1: %2").arg(portName(), e.description())
                        : e.description());
    }
}

void LiveService::wire() {
    Parts &p = *m_parts;
    p.keeper = std::make_unique<DiveKeeper>(*p.worker, *p.journal);
    p.link = std::make_unique<ConsoleLink>(m_options.portNumber);
    p.jobs = std::make_unique<JobLauncher>(p.db, *p.meet, *p.link);
    p.jobs->setLineAvailable(m_options.withConsole);
    p.health = std::make_unique<HealthCheck>(*p.keeper, *p.link, *p.journal);
    if (!m_options.withConsole)
        p.health->setWithoutConsole();
    p.api = std::make_unique<ApiServer>(ApiServer::Parts{
        *p.meet, *p.worker, p.figures, *p.link, *p.jobs, *p.keeper, *p.health, p.metrics,
        [this] { return qint64(m_parts->journal->size()); },
        [this] { return qint64(m_parts->feed ? m_parts->feed->clientCount() : 0); }});
    p.api->setToken(m_options.token);
    p.api->setLineName(portName());
    p.feed = std::make_unique<LiveFeed>(p.api->server());

    for (QObject *source :
         {static_cast<QObject *>(p.keeper.get()), static_cast<QObject *>(p.api.get()),
          static_cast<QObject *>(p.feed.get())})
        connect(source, SIGNAL(logLine(QString)), this, SIGNAL(logLine(QString)));
    connect(p.link.get(), &ConsoleLink::diveReceived, this, &LiveService::onDive);
    connect(p.keeper.get(), &DiveKeeper::kept, this,
            [this](const DiveRecord &record, DiveKeeper::Place place, const QJsonObject &message) {
                onKept(record, int(place), message);
            });
    connect(p.link.get(), &ConsoleLink::consoleChanged, this,
            [this](bool open, const QString &version) {
                if (open != m_parts->consoleOpen)
                    emit logLine(open ? QStringLiteral("console: line open")
                                      : QStringLiteral("console: line closed"));
                m_parts->consoleOpen = open;
                const ConsoleLink &link = *m_parts->link;
                m_parts->feed->broadcast({{"type", "console"},
                                          {"open", open},
                                          {"since", link.since().toString(Qt::ISODateWithMs)},
                                          {"answering", link.answering()},
                                          {"version", version.isEmpty() ? QJsonValue() : version},
                                          {"versionCurrent", link.versionCurrent()}});
            });
    connect(p.link.get(), &ConsoleLink::commError, this, [this](const QString &text) {
        emit logLine(QStringLiteral("console error: %1").arg(text));
        m_parts->feed->broadcast({{"type", "error"}, {"text", text}});
    });
    connect(
        p.link.get(), &ConsoleLink::frameRejected, this,
        [this](const QString &check, const QString &frame) {
            // The same frames as /api/meet's console.rejectedFrames counts.
            m_parts->metrics.countRejectedFrame();
            const QString text =
                QStringLiteral("A frame from the console failed its %1 check and was dropped")
                    .arg(check);
            emit logLine(QStringLiteral("console error: %1").arg(text));
            m_parts->feed->broadcast(
                {{"type", "console-error"}, {"text", text}, {"check", check}, {"frame", frame}});
        });
    connect(p.jobs.get(), &JobLauncher::progress, this,
            [this](const QString &job, int sent, int total) {
                m_parts->feed->broadcast(
                    {{"type", "progress"}, {"job", job}, {"sent", sent}, {"total", total}});
            });
    connect(p.jobs.get(), &JobLauncher::message, this,
            [this](const QString &job, const QString &text) {
                m_parts->feed->broadcast({{"type", "message"}, {"text", text}, {"job", job}});
            });
    connect(p.jobs.get(), &JobLauncher::finished, this,
            [this](const QString &job, const JobResult &result) {
                emit logLine(QStringLiteral("%1 finished: %2").arg(job, result.name()) +
                             (result.detail.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" (%1)").arg(result.detail)));
                m_parts->feed->broadcast(JobOutcome::finishedMessage(job, result));
            });
    connect(p.api.get(), &ApiServer::currentEventChanged, this, [this](const QString &eventId) {
        emit logLine(QStringLiteral("current event: %1").arg(eventId));
    });
    connect(p.api.get(), &ApiServer::overlayChanged, this, [this](const QString &show) {
        emit logLine(QStringLiteral("overlay: %1").arg(show));
        m_parts->feed->broadcast({{"type", "overlay"}, {"show", show}});
    });
}

void LiveService::onDive(const DiveRecord &received) {
    Parts &p = *m_parts;
    DiveRecord record = received;
    record.meetId = m_options.meetId;
    record.eventId = p.meet->currentEvent();
    // Strictly increasing arrival times let the table tell a replayed dive from a newer one.
    record.receivedAtMs = qMax(QDateTime::currentMSecsSinceEpoch(), p.lastReceivedMs + 1);
    p.lastReceivedMs = record.receivedAtMs;
    // The batch's arrival, for the latency from the frame to the feed.
    p.arrivals.append(p.link->batchArrival());
    p.keeper->keep(record);
}

void LiveService::onKept(const DiveRecord &record, int placeNumber, const QJsonObject &message) {
    Parts &p = *m_parts;
    const auto place = DiveKeeper::Place(placeNumber);
    const QElapsedTimer arrival = p.arrivals.isEmpty() ? QElapsedTimer() : p.arrivals.takeFirst();
    if (place == DiveKeeper::Place::Database)
        p.metrics.countStored();
    else if (place == DiveKeeper::Place::Journal)
        p.metrics.countJournaled();
    const QString where = place == DiveKeeper::Place::Database
                              ? QStringLiteral("stored, revision %1").arg(record.revision)
                          : place == DiveKeeper::Place::Journal ? QStringLiteral("journaled")
                                                                : QStringLiteral("LOST");
    emit logLine(QStringLiteral("dive event %1 (console %2%3) round %4 order %5: %6")
                     .arg(record.eventId.isEmpty() ? QStringLiteral("-") : record.eventId)
                     .arg(record.fields.value(QLatin1String("EventNumberN")).toInt())
                     .arg(record.fields.value(QLatin1String("EventNumberA")).toString().trimmed())
                     .arg(record.round())
                     .arg(record.divingOrder())
                     .arg(where));
    // Only a dive that is safe somewhere is announced.
    if (place == DiveKeeper::Place::Nowhere) {
        p.feed->broadcast({{"type", "error"},
                           {"text", QStringLiteral("a judged dive could be kept neither in the "
                                                   "database nor in the journal")}});
        return;
    }
    // A dive kept only in the journal goes out alone: the event cannot be read until the
    // database is back.
    if (message.isEmpty()) {
        QJsonObject dive = record.toJson();
        DiverNames::annotate(dive, p.figures.names);
        p.feed->broadcast({{"type", "dive"}, {"dive", dive}});
    } else {
        p.feed->broadcast(message);
    }
    p.metrics.countAnnounced();
    if (arrival.isValid())
        p.metrics.observeAnnounceLatency(double(arrival.nsecsElapsed()) / 1e9);
}

void LiveService::stop() {
    Parts &p = *m_parts;
    if (p.feed)
        p.feed->closeAll();
    if (p.link)
        p.link->close();
    if (p.api)
        for (QTcpServer *server : p.api->server().servers())
            server->close();
    if (p.keeper)
        p.keeper->journalWaiting();
    stopDatabaseThread();
    if (p.db.isOpen())
        p.db.close();
}

} // namespace Kavvix
