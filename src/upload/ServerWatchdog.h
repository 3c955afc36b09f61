#pragma once

#include <kavvix/export.h>

#include <QSqlDatabase>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace Kavvix {

// Bounds how long the statements run while it lives may wait for a PostgreSQL server. The
// client library waits for an answer without limit, and a server that is stopped rather than
// shut down never applies its own statement time-out. So when the connection's statement
// time-out (plus a second for the server to act on it first) has passed, the watchdog shuts
// the connection's socket: the waiting statement fails at once, and the connection stays
// unusable. Does nothing on other databases or without a time-out. The live results service
// guards its own statements with it too.
class KAVVIX_EXPORT ServerWatchdog {
public:
    explicit ServerWatchdog(const QSqlDatabase &db);
    ~ServerWatchdog();
    ServerWatchdog(const ServerWatchdog &) = delete;
    ServerWatchdog &operator=(const ServerWatchdog &) = delete;

    // Whether the time-out ended the wait.
    bool expired() const;
    int timeoutMs() const { return m_timeoutMs; }

private:
    void watch(int socket);

    int m_timeoutMs = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    bool m_expired = false;
    std::thread m_thread;
};

} // namespace Kavvix
