#pragma once

#include <kavvix/export.h>

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

namespace Kavvix {

struct DiveRecord;

// What the live results service runs with.
struct KAVVIX_EXPORT LiveServiceOptions {
    QString database; // an SQLite file or a postgresql:// URL (see openMeetDatabase)
    QString meetId;
    qint16 portNumber = 1;   // the console's line (map it to a device with KAVVIX_COM<n>)
    QString portName;        // how lines and errors name it; empty: "COM " and the number
    bool withConsole = true; // false: no line; stored results are served, jobs refused
    QHostAddress address = QHostAddress::LocalHost;
    quint16 httpPort = 8470;   // 0: any free port
    QString currentEvent;      // the meet event judged dives are filed under until an upload
    QString token;             // needed by POST and PUT; required off the loopback interface
    QString journalPath;       // empty: beside an SQLite file, else in the user's data folder
    QString recordPath;        // empty: no recording
    int idleTimeoutMs = 30000; // an HTTP connection with nothing to do is closed after this
    // A mirror has no console: it serves a PostgreSQL meet database and pushes the dives and
    // messages the consoles' services store and publish there. Writes are refused (409).
    bool mirror = false;
    QString consoleName; // the console's name among the meet's consoles; empty: "console"
};

// The live results service: owns the console's serial line, stores every judged dive in the
// meet database (or, while the database is away, in a journal that is written to it later),
// and serves the JSON API and the /live WebSocket feed. Runs on the event loop of the thread
// that created it.
class KAVVIX_EXPORT LiveService : public QObject {
    Q_OBJECT

public:
    explicit LiveService(LiveServiceOptions options, QObject *parent = nullptr);
    ~LiveService() override;

    // Opens the database, the journal, the line and the listening socket; throws Kavvix::Error
    // with one line saying why it cannot start.
    void start();
    // Tells the clients, closes the line, the socket and the database.
    void stop();

    // Takes effect from the next request (a reloaded configuration).
    void setToken(const QString &token);

    quint16 httpPort() const;
    QString journalPath() const;

signals:
    // One line for each request, dive and noteworthy happening.
    void logLine(const QString &text);

private:
    struct Parts;
    void openDatabase();
    void openJournal();
    void openRecording();
    void openLine();
    QString portName() const;
    void listen();
    void startDatabaseThread();
    void stopDatabaseThread();
    void wire();
    void onDive(const DiveRecord &record);
    QString consoleName() const;
    void startRegistry();
    void publish(const QJsonObject &message);
    void startMirror();
    void announceStored(const QList<DiveRecord> &records);
    void announceDescribed(const DiveRecord &record, const QJsonObject &message);
    void relay(QJsonObject message);
    void reopenDatabase();
    // place: a DiveKeeper::Place.
    void onKept(const DiveRecord &record, int place, const QJsonObject &message);

    LiveServiceOptions m_options;
    std::unique_ptr<Parts> m_parts;
};

} // namespace Kavvix
