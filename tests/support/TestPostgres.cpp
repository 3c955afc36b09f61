#include "TestPostgres.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>

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

// The postmaster of the cluster in folder and every process it started.
QList<pid_t> serverProcesses(const QString &folder) {
    QFile pidFile(folder + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return {};
    const QByteArray postmaster = pidFile.readLine().trimmed();
    QList<pid_t> processes{postmaster.toInt()};
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        // pid (command) state ppid ...: the command may hold blanks, so read after its ")".
        if (stat.open(QIODevice::ReadOnly) &&
            stat.readAll().split(')').last().trimmed().split(' ').value(1) == postmaster)
            processes << pid.toInt();
    }
    return processes;
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

PrivateCluster::PrivateCluster() {
    // The script prints "export NAME=value ...".
    QString exports;
    runScript({QStringLiteral("start")}, &exports);
    QMap<QString, QString> value;
    for (const QString &setting : exports.trimmed().split(QLatin1Char(' ')))
        value[setting.section(QLatin1Char('='), 0, 0)] = setting.section(QLatin1Char('='), 1);
    m_server = {value["KAVVIX_TEST_PG_DIR"], value["KAVVIX_TEST_PG_PORT"],
                value["KAVVIX_TEST_PG_USER"]};
}

PrivateCluster::~PrivateCluster() {
    resume();
    if (started())
        runScript({QStringLiteral("stop"), m_server.folder});
}

void PrivateCluster::pause(int resumeAfterMs) {
    const QList<pid_t> processes = serverProcesses(m_server.folder);
    for (pid_t pid : processes)
        ::kill(pid, SIGSTOP);
    m_paused = std::jthread([processes, resumeAfterMs](std::stop_token stop) {
        std::mutex mutex;
        std::unique_lock lock(mutex);
        std::condition_variable_any().wait_for(lock, stop, std::chrono::milliseconds(resumeAfterMs),
                                               [] { return false; });
        for (pid_t pid : processes)
            ::kill(pid, SIGCONT);
    });
}

bool PrivateCluster::shutDown() {
    return runScript({QStringLiteral("halt"), m_server.folder});
}

bool PrivateCluster::startAgain() {
    return runScript({QStringLiteral("resume"), m_server.folder});
}

} // namespace KavvixTest
