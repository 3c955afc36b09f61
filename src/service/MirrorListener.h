#pragma once

#include "ConnectionThread.h"
#include "DiveRecord.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace Kavvix {

// A mirror's ear on the meet database: on a thread and a PostgreSQL connection of its own, it
// listens for the dives the console's services store and for the feed messages they publish,
// and hands them to the thread that created it (the notifications are delivered to the thread
// that owns the connection, so the service's own loop never waits for them).
//
// Exactly once: it remembers the highest change number it has handed on and, woken by a
// notification, reads the meet's rows stored after it. Change numbers commit in their order,
// so nothing is skipped, and a row is handed on once whatever the number of notifications.
// It starts from the changes stored when it started (what came before is on the pages
// already); a connection lost is found by a check every second and opened again, and what
// was stored meanwhile is read then.
class MirrorListener : public QObject {
    Q_OBJECT

public:
    // How often the connection is checked, and reopened while it is lost.
    static constexpr int CheckIntervalMs = 1000;

    MirrorListener(const QString &database, const QString &meetId, QObject *parent = nullptr);
    ~MirrorListener() override;
    // Ends, waiting at most waitMs; false when the database holds it up past that, and the
    // listener must then be left alive (the process is ending).
    bool stop(unsigned long waitMs) { return m_thread.finish(waitMs); }

    // Connects and listens; false (and problem) when that cannot be done.
    bool start(QString &problem);

signals:
    // Rows stored (new or revised) after those handed on already, in change order.
    void divesStored(const QList<Kavvix::DiveRecord> &records);
    // A message a console's service published for the feeds of the meet.
    void feedMessage(const QJsonObject &message);
    void databaseLost(const QString &problem);
    void databaseBack();
    void logLine(const QString &text);

private:
    class Worker;
    std::unique_ptr<Worker> m_worker; // used on the thread only
    ConnectionThread m_thread;        // ends before the worker goes
};

} // namespace Kavvix
