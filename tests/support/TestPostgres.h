#pragma once

#include <QString>
#include <QStringList>

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

// A PostgreSQL cluster of the test's own (scripts/pg-cluster.sh), so that stopping or shutting
// it down disturbs no other test. Removed with the object.
class PrivateCluster {
public:
    PrivateCluster();
    ~PrivateCluster();

    bool started() const { return m_server.isSet(); }
    const PgServer &server() const { return m_server; }

    // Stops every server process with SIGSTOP, as a hung server; they are resumed by resume(),
    // or at the latest after resumeAfterMs, so a test that waits for them cannot hang.
    void pause(int resumeAfterMs);
    void resume() { m_paused = {}; }
    // Shuts the server down (pg_ctl stop -m fast), keeping its data; startAgain() restarts it.
    bool shutDown();
    bool startAgain();

private:
    PgServer m_server;
    std::jthread m_paused; // sends SIGCONT when stopped or after its time
};

} // namespace KavvixTest

// Skips the running test for want of PostgreSQL, or fails it where PostgreSQL is required (in
// CI, where a missing server is a failure).
#define KAVVIX_WITHOUT_POSTGRES(why)                                                               \
    do {                                                                                           \
        if (qEnvironmentVariable("KAVVIX_REQUIRE_PG") == QLatin1String("1"))                       \
            FAIL() << (why) << " (KAVVIX_REQUIRE_PG=1)";                                           \
        GTEST_SKIP() << (why);                                                                     \
    } while (false)
