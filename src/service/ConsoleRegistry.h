#pragma once

#include "ConnectionThread.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>

namespace Kavvix {

class PreparedStatements;

// The consoles of a meet, in the table kavvix_consoles of the meet database: each service
// that owns a console keeps one row up to date (its name, the meet event its dives are filed
// under, the line's state, the console's version, when the service started, and a heartbeat
// every HeartbeatMs), so every service and mirror of the meet can list them all. It also
// publishes the service's feed messages (console state, jobs, overlay) for the mirrors, on
// the PostgreSQL channel FeedChannel as {"meetId", "message"} with the message's
// consoleName. Both write on a thread and a connection of their own, so that neither holds
// up the line, the dives or the clients.
class ConsoleRegistry {
public:
    static inline const QString FeedChannel = QStringLiteral("kavvix_feed");
    static inline const QString DefaultName = QStringLiteral("console");
    static constexpr int HeartbeatMs = 5000;

    ConsoleRegistry(const QString &database, const QString &meetId, const QString &name);
    ~ConsoleRegistry();

    // Connects, creates the table when it is missing and writes the row; false (and problem)
    // when that cannot be done. The row is written again with each heartbeat, and the table
    // created then if it could not be before; a connection that could not be opened leaves
    // the registry doing nothing: the consoles' list is no reason to stop the dives.
    bool start(const QJsonObject &state, QString &problem);
    // Merges what changed into the row ({"currentEvent"}, the line's state...) and writes it.
    void update(const QJsonObject &changes);
    void publish(const QJsonObject &message);
    // Writes what was asked and ends, waiting at most waitMs; false when the database holds it
    // up past that, and the registry must then be left alive (the process is ending).
    bool stop(unsigned long waitMs) { return m_thread.finish(waitMs); }

    // Every console of the meet: {"name", "currentEvent", "line", "open", "since",
    // "answering", "version", "versionCurrent", "startedAt", "heartbeat", "running"};
    // running while the heartbeat is under three intervals old. Empty when it cannot be read.
    static QJsonArray list(PreparedStatements &statements, const QString &meetId);

private:
    class Worker;
    std::unique_ptr<Worker> m_worker; // used on the thread only
    ConnectionThread m_thread;        // ends before the worker goes
};

} // namespace Kavvix
