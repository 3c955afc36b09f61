#include "TestPostgres.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <chrono>
#include <csignal>

#include <sys/types.h>

namespace KavvixTest {

namespace {

// Runs scripts/pg-cluster.sh; whether it succeeded, and what it printed.
bool runScript(const QStringList &arguments, QString *output = nullptr) {
    QProcess script;
    script.start(QStringLiteral(KAVVIX_PG_CLUSTER_SCRIPT), arguments);
    const bool ok = script.waitForFinished(120000) && script.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(script.readAllStandardOutput());
    return ok;
}

} // namespace

QString PgServer::url(const QString &dbname, const QString &query) const {
    return QStringLiteral("postgresql://%1@:%2/%3?host=%4%5")
        .arg(user, port, dbname, QString::fromLatin1(QUrl::toPercentEncoding(folder)), query);
}

PgServer PgServer::fromEnvironment() {
    return {qEnvironmentVariable("KAVVIX_TEST_PG_HOST"),
            qEnvironmentVariable("KAVVIX_TEST_PG_PORT"),
            qEnvironmentVariable("KAVVIX_TEST_PG_USER")};
}

bool postgresRequired() {
    return qEnvironmentVariable("KAVVIX_REQUIRE_PG") == QLatin1String("1");
}

PrivateCluster::PrivateCluster() {
    QString exports;
    runScript({QStringLiteral("start")}, &exports);
    const auto value = [&](const char *name) {
        return QRegularExpression(QLatin1String(name) + QStringLiteral("=(\\S+)"))
            .match(exports)
            .captured(1);
    };
    m_server = {value("KAVVIX_TEST_PG_DIR"), value("KAVVIX_TEST_PG_PORT"),
                value("KAVVIX_TEST_PG_USER")};
}

PrivateCluster::~PrivateCluster() {
    resume();
    if (started())
        runScript({QStringLiteral("stop"), m_server.folder});
}

// The postmaster and every process it started.
QStringList PrivateCluster::serverProcesses() const {
    QFile pidFile(m_server.folder + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return {};
    const QString postmaster = QString::fromLatin1(pidFile.readLine()).trimmed();
    QStringList processes{postmaster};
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (command) state ppid ...: the command may hold blanks, so read after its ")".
        const QString text = QString::fromLatin1(stat.readAll());
        const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(' ');
        if (fields.value(1) == postmaster)
            processes << pid;
    }
    return processes;
}

void PrivateCluster::signalServer(int signal) const {
    for (const QString &pid : m_paused)
        ::kill(pid.toInt(), signal);
}

void PrivateCluster::pause(int resumeAfterMs) {
    m_paused = serverProcesses();
    signalServer(SIGSTOP);
    m_isPaused = true;
    m_safety = std::thread([this, resumeAfterMs] {
        std::unique_lock lock(m_mutex);
        if (!m_resumed.wait_for(lock, std::chrono::milliseconds(resumeAfterMs),
                                [this] { return !m_isPaused; }))
            signalServer(SIGCONT);
    });
}

void PrivateCluster::resume() {
    if (!m_safety.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_isPaused = false;
    }
    m_resumed.notify_one();
    m_safety.join();
    signalServer(SIGCONT);
}

bool PrivateCluster::shutDown() {
    return runScript({QStringLiteral("halt"), m_server.folder});
}

bool PrivateCluster::startAgain() {
    return runScript({QStringLiteral("resume"), m_server.folder});
}

} // namespace KavvixTest
