#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace KavvixTest {

// Where a test PostgreSQL server listens: a Unix socket in its cluster folder.
struct PgServer {
    QString folder;
    QString port;
    QString user;

    bool isSet() const { return !folder.isEmpty(); }
    // postgresql:// URL of a database on the server; query is appended after "?host=...".
    QString url(const QString &dbname, const QString &query = {}) const;
    // The suite's cluster (KAVVIX_TEST_PG_*, from scripts/pg-cluster.sh); unset when none.
    static PgServer fromEnvironment();
};

// Set in CI, where a missing server is a failure, not a reason to skip.
bool postgresRequired();

// A PostgreSQL cluster of the test's own (scripts/pg-cluster.sh), so that stopping or shutting
// it down disturbs no other test. Removed with the object.
class PrivateCluster {
public:
    PrivateCluster();
    ~PrivateCluster();

    bool started() const { return m_server.isSet(); }
    const PgServer &server() const { return m_server; }
    QString url(const QString &dbname, const QString &query = {}) const {
        return m_server.url(dbname, query);
    }

    // Stops every server process with SIGSTOP, as a hung server; they are resumed by resume(),
    // or at the latest after resumeAfterMs, so a test that waits for them cannot hang.
    void pause(int resumeAfterMs);
    void resume();
    // Shuts the server down (pg_ctl stop -m fast), keeping its data; startAgain() restarts it.
    bool shutDown();
    bool startAgain();

private:
    QStringList serverProcesses() const;
    void signalServer(int signal) const;

    PgServer m_server;
    QStringList m_paused;
    std::mutex m_mutex;
    std::condition_variable m_resumed;
    bool m_isPaused = false;
    std::thread m_safety;
};

} // namespace KavvixTest

// Skips the running test for want of PostgreSQL, or fails it where PostgreSQL is required.
#define KAVVIX_WITHOUT_POSTGRES(why)                                                               \
    do {                                                                                           \
        if (KavvixTest::postgresRequired())                                                        \
            FAIL() << (why) << " (KAVVIX_REQUIRE_PG=1)";                                           \
        GTEST_SKIP() << (why);                                                                     \
    } while (false)
