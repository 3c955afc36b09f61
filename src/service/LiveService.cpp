#include <kavvix/service/LiveService.h>

#include "ApiServer.h"
#include "ConsoleLink.h"
#include "ConsoleRegistry.h"
#include "DatabaseWorker.h"
#include "DiveJournal.h"
#include "DiveKeeper.h"
#include "DiverNames.h"
#include "HealthCheck.h"
#include "JobLauncher.h"
#include "JobOutcome.h"
#include "LiveFeed.h"
#include "MeetContext.h"
#include "MirrorConsoles.h"
#include "MirrorListener.h"
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
// A named console's service has a journal of its own, so that two consoles' services can run
// on one machine.
QString defaultJournalPath(const QString &database, const QString &meetId,
                           const QString &consoleName) {
    const QString meet = consoleName.isEmpty() ? meetId : meetId + u'.' + consoleName;
    if (SqlDialect::engineNamedBy(database) == SqlDialect::Engine::SQLite)
        return database + QStringLiteral(".") + meet + QStringLiteral(".journal");
    const QByteArray id =
        QCryptographicHash::hash((database + u'\n' + meet).toUtf8(), QCryptographicHash::Sha1)
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
    QJsonArray consoles; // the meet's consoles, as last read or (on a mirror) as last told
    std::unique_ptr<DiveKeeper> keeper;
    std::unique_ptr<ConsoleLink> link;
    std::unique_ptr<JobLauncher> jobs;
    // Before the API, which answers from them, so that they outlive it.
    ServiceMetrics metrics;
    std::unique_ptr<HealthCheck> health;
    std::unique_ptr<ApiServer> api;
    std::unique_ptr<LiveFeed> feed;
    std::unique_ptr<ConsoleRegistry> registry; // a console's service
    std::unique_ptr<MirrorListener> listener;  // a mirror
    MirrorConsoles mirrorConsoles;
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
        m_options.journalPath =
            defaultJournalPath(m_options.database, m_options.meetId, m_options.consoleName);
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
    if (m_options.mirror) {
        m_options.withConsole = false;
        if (SqlDialect::engineNamedBy(m_options.database) != SqlDialect::Engine::PostgreSQL)
            cannotStart(QStringLiteral("a mirror needs a PostgreSQL meet database "
                                       "(postgresql://...), which tells it of each dive"));
    }
    openDatabase();
    // A mirror writes nothing: it has no journal to keep.
    if (!m_options.mirror)
        openJournal();
    startDatabaseThread();
    wire();
    listen();
    openRecording();
    if (m_options.withConsole)
        openLine();
    if (m_options.mirror)
        startMirror();
    else
        startRegistry();
    emit logLine(m_parts->openFiles);
    emit logLine(
        QStringLiteral("serving meet %1 on http://%2:%3, %4")
            .arg(m_options.meetId, m_options.address.toString())
            .arg(m_parts->httpPort)
            .arg(m_options.mirror ? QStringLiteral("mirror of the meet's consoles")
                 : m_options.withConsole
                     ? QStringLiteral("console %1on %2")
                           .arg(m_options.consoleName.isEmpty() ? QString()
                                                                : m_options.consoleName + u' ',
                                portName())
                     : QStringLiteral("without a console (stored results only)")));
}

QString LiveService::consoleName() const {
    return m_options.consoleName.isEmpty() ? ConsoleRegistry::DefaultName : m_options.consoleName;
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
    connect(p.worker, &DatabaseWorker::consolesRead, this,
            [this](const QJsonArray &consoles) { m_parts->consoles = consoles; });
    connect(p.worker, &DatabaseWorker::described, this, &LiveService::announceDescribed);
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
        p.health->setWithoutConsole(m_options.mirror ? QStringLiteral("mirror")
                                                     : QStringLiteral("--no-console"));
    if (m_options.mirror)
        p.health->setWithoutJournal(QStringLiteral("mirror"));
    p.api = std::make_unique<ApiServer>(ApiServer::Parts{
        *p.meet, *p.worker, p.figures, *p.link, *p.jobs, *p.keeper, *p.health, p.metrics,
        [this] { return qint64(m_parts->journal->size()); },
        [this] { return qint64(m_parts->feed ? m_parts->feed->clientCount() : 0); }});
    p.api->setToken(m_options.token);
    p.api->setLineName(portName());
    p.api->setConsoleList([this] { return m_parts->consoles; });
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
                publish({{"type", "console"},
                         {"open", open},
                         {"since", link.since().toString(Qt::ISODateWithMs)},
                         {"answering", link.answering()},
                         {"version", version.isEmpty() ? QJsonValue() : version},
                         {"versionCurrent", link.versionCurrent()}});
            });
    connect(p.link.get(), &ConsoleLink::commError, this, [this](const QString &text) {
        emit logLine(QStringLiteral("console error: %1").arg(text));
        publish({{"type", "error"}, {"text", text}});
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
            publish(
                {{"type", "console-error"}, {"text", text}, {"check", check}, {"frame", frame}});
        });
    connect(p.jobs.get(), &JobLauncher::progress, this,
            [this](const QString &job, int sent, int total) {
                publish({{"type", "progress"}, {"job", job}, {"sent", sent}, {"total", total}});
            });
    connect(p.jobs.get(), &JobLauncher::message, this,
            [this](const QString &job, const QString &text) {
                publish({{"type", "message"}, {"text", text}, {"job", job}});
            });
    connect(p.jobs.get(), &JobLauncher::finished, this,
            [this](const QString &job, const JobResult &result) {
                emit logLine(QStringLiteral("%1 finished: %2").arg(job, result.name()) +
                             (result.detail.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" (%1)").arg(result.detail)));
                publish(JobOutcome::finishedMessage(job, result));
                // An upload that was sent made its event the current one.
                if (m_parts->registry)
                    m_parts->registry->update({{"currentEvent", m_parts->meet->currentEvent()}});
            });
    connect(p.api.get(), &ApiServer::currentEventChanged, this, [this](const QString &eventId) {
        emit logLine(QStringLiteral("current event: %1").arg(eventId));
        if (m_parts->registry)
            m_parts->registry->update({{"currentEvent", eventId}});
    });
    connect(p.api.get(), &ApiServer::overlayChanged, this, [this](const QString &show) {
        emit logLine(QStringLiteral("overlay: %1").arg(show));
        publish({{"type", "overlay"}, {"show", show}});
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

// The console's row among the meet's consoles, kept up to date from here on; a service without
// a console has no row.
void LiveService::startRegistry() {
    if (!m_options.withConsole)
        return;
    Parts &p = *m_parts;
    p.registry =
        std::make_unique<ConsoleRegistry>(m_options.database, m_options.meetId, consoleName());
    const ConsoleLink &link = *p.link;
    QString problem;
    if (!p.registry->start(
            {{"currentEvent",
              p.meet->currentEvent().isEmpty() ? QJsonValue() : QJsonValue(p.meet->currentEvent())},
             {"line", portName()},
             {"open", link.isOpen()},
             {"since", link.since().toString(Qt::ISODateWithMs)},
             {"answering", link.answering()},
             {"version", link.version().isEmpty() ? QJsonValue() : QJsonValue(link.version())},
             {"versionCurrent", link.versionCurrent()}},
            problem))
        emit logLine(QStringLiteral("consoles: this console's row in kavvix_consoles: %1")
                         .arg(problem.simplified()));
}

// To this service's clients, and through the database to every mirror's.
void LiveService::publish(const QJsonObject &message) {
    m_parts->feed->broadcast(message);
    if (!m_parts->registry)
        return;
    m_parts->registry->publish(message);
    if (message.value(QLatin1String("type")).toString() == QLatin1String("console")) {
        QJsonObject line = message;
        line.remove(QStringLiteral("type"));
        m_parts->registry->update(line);
    }
}

void LiveService::startMirror() {
    Parts &p = *m_parts;
    p.listener = std::make_unique<MirrorListener>(m_options.database, m_options.meetId);
    connect(p.listener.get(), &MirrorListener::logLine, this, &LiveService::logLine);
    connect(p.listener.get(), &MirrorListener::divesStored, this, &LiveService::announceStored);
    connect(p.listener.get(), &MirrorListener::feedMessage, this, &LiveService::relay);
    // The service's own connection broke with the listener's: open it afresh.
    connect(p.listener.get(), &MirrorListener::databaseBack, this, &LiveService::reopenDatabase);
    p.api->setMirror([this](const QJsonArray &consoles) {
        m_parts->mirrorConsoles.reset(consoles);
        return m_parts->mirrorConsoles.combined();
    });
    // The pages that follow the dives start on a running console's event; from then on, the
    // event of the latest dive.
    PreparedStatements statements(p.db);
    const QJsonArray consoles = ConsoleRegistry::list(statements, m_options.meetId);
    p.consoles = consoles;
    p.mirrorConsoles.reset(consoles);
    for (const QJsonValue &console : consoles)
        if (console[QLatin1String("running")].toBool() &&
            console[QLatin1String("currentEvent")].isString() && p.meet->currentEvent().isEmpty())
            p.meet->setCurrentEvent(console[QLatin1String("currentEvent")].toString());
    QString problem;
    if (!p.listener->start(problem))
        cannotStart(
            QStringLiteral("database: cannot listen for the meet's dives: %1").arg(problem));
}

void LiveService::announceStored(const QList<DiveRecord> &records) {
    for (const DiveRecord &record : records) {
        m_parts->meet->setCurrentEvent(record.eventId);
        emit logLine(QStringLiteral("dive event %1 round %2 order %3: revision %4 (change %5)")
                         .arg(record.eventId.isEmpty() ? QStringLiteral("-") : record.eventId)
                         .arg(record.round())
                         .arg(record.divingOrder())
                         .arg(record.revision)
                         .arg(record.change));
    }
    // What the pages show after each dive is read on the database thread.
    QMetaObject::invokeMethod(
        m_parts->worker, [worker = m_parts->worker, records] { worker->describe(records); },
        Qt::QueuedConnection);
}

void LiveService::announceDescribed(const DiveRecord &record, const QJsonObject &message) {
    m_parts->feed->broadcast(message);
    m_parts->metrics.countAnnounced();
    // From the frame reaching the console's service (by its clock) to the mirror's clients.
    m_parts->metrics.observeAnnounceLatency(
        double(qMax<qint64>(0, QDateTime::currentMSecsSinceEpoch() - record.receivedAtMs)) /
        1000.0);
}

void LiveService::reopenDatabase() {
    QMetaObject::invokeMethod(m_parts->worker, &DatabaseWorker::reopen, Qt::QueuedConnection);
}

// A console's message, to this mirror's clients; the line state is every console's.
void LiveService::relay(QJsonObject message) {
    const QString type = message.value(QLatin1String("type")).toString();
    if (type == QLatin1String("overlay"))
        m_parts->api->setOverlayShow(message.value(QLatin1String("show")).toString());
    else if (type == QLatin1String("console")) {
        // The list /api/meet shows follows at once, before the next reading of the table.
        const QString name = message.value(QLatin1String("consoleName")).toString();
        for (qsizetype i = 0; i < m_parts->consoles.size(); ++i) {
            QJsonObject console = m_parts->consoles[i].toObject();
            if (console.value(QLatin1String("name")).toString() != name)
                continue;
            for (const char *key : {"open", "since", "answering", "version", "versionCurrent"})
                console.insert(QLatin1String(key), message.value(QLatin1String(key)));
            m_parts->consoles[i] = console;
        }
        m_parts->mirrorConsoles.apply(message);
        const QJsonObject line = m_parts->mirrorConsoles.combined();
        for (auto it = line.begin(); it != line.end(); ++it)
            message.insert(it.key(), it.value());
    }
    m_parts->feed->broadcast(message);
}

void LiveService::stop() {
    Parts &p = *m_parts;
    // A thread held up by a server that does not answer is left to end with the process.
    if (p.listener && !p.listener->stop(StopWaitMs))
        (void)p.listener.release();
    p.listener.reset();
    if (p.feed)
        p.feed->closeAll();
    if (p.link)
        p.link->close();
    if (p.registry) {
        // The line goes with the console's service: its row and the mirrors say so.
        const QJsonObject down{
            {"open", false},
            {"since", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
            {"answering", false},
            {"versionCurrent", false}};
        p.registry->update(down);
        QJsonObject message = down;
        message.insert(QStringLiteral("type"), QStringLiteral("console"));
        message.insert(QStringLiteral("version"), p.link->version());
        p.registry->publish(message);
        if (!p.registry->stop(StopWaitMs)) {
            emit logLine(QStringLiteral("consoles: no answer; stopping without the console's row"));
            (void)p.registry.release();
        }
        p.registry.reset();
    }
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
