#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace KavvixTest {

// A PostgreSQL cluster of the test's own (scripts/pg-cluster.sh), so that stopping or shutting
// it down disturbs no other test. Removed with the object.
class PrivateCluster {
public:
    PrivateCluster();
    ~PrivateCluster();

    bool started() const { return !m_folder.isEmpty(); }
    // postgresql:// URL of a database on the cluster; query is appended after "?host=...".
    QString url(const QString &dbname, const QString &query = {}) const;

    // Stops every server process with SIGSTOP, as a hung server; they are resumed by resume(),
    // or at the latest after resumeAfterMs, so a test that waits for them cannot hang.
    void pause(int resumeAfterMs);
    void resume();
    // Shuts the server down at once (pg_ctl stop -m fast).
    void shutDown();

private:
    QStringList serverProcesses() const;
    void signalServer(int signal) const;

    QString m_folder;
    QString m_port;
    QString m_user;
    QStringList m_paused;
    std::mutex m_mutex;
    std::condition_variable m_resumed;
    bool m_isPaused = false;
    std::thread m_safety;
};

} // namespace KavvixTest
