#include "PrivateCluster.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <chrono>
#include <csignal>

#include <unistd.h>

namespace KavvixTest {

namespace {

QString runScript(const QStringList &arguments) {
    QProcess script;
    script.start(QStringLiteral(KAVVIX_PG_CLUSTER_SCRIPT), arguments);
    script.waitForFinished(120000);
    return QString::fromLocal8Bit(script.readAllStandardOutput());
}

} // namespace

PrivateCluster::PrivateCluster() {
    const QString exports = runScript({QStringLiteral("start")});
    const auto value = [&](const char *name) {
        return QRegularExpression(QLatin1String(name) + QStringLiteral("=(\\S+)"))
            .match(exports)
            .captured(1);
    };
    m_folder = value("KAVVIX_TEST_PG_DIR");
    m_port = value("KAVVIX_TEST_PG_PORT");
    m_user = value("KAVVIX_TEST_PG_USER");
}

PrivateCluster::~PrivateCluster() {
    resume();
    if (started())
        runScript({QStringLiteral("stop"), m_folder});
}

QString PrivateCluster::url(const QString &dbname, const QString &query) const {
    return QStringLiteral("postgresql://%1@:%2/%3?host=%4%5")
        .arg(m_user, m_port, dbname, QString::fromLatin1(QUrl::toPercentEncoding(m_folder)), query);
}

// The postmaster and every process it started.
QStringList PrivateCluster::serverProcesses() const {
    QFile pidFile(m_folder + QStringLiteral("/data/postmaster.pid"));
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

void PrivateCluster::shutDown() {
    QStringList command{QStringLiteral("/usr/lib/postgresql/15/bin/pg_ctl"),
                        QStringLiteral("-D"),
                        m_folder + QStringLiteral("/data"),
                        QStringLiteral("-m"),
                        QStringLiteral("fast"),
                        QStringLiteral("stop")};
    if (::geteuid() == 0) // the cluster belongs to postgres, as the script sets it up
        command =
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} +
            command;
    QProcess stop; // its progress lines are not the test's output
    stop.start(::geteuid() == 0 ? QStringLiteral("runuser") : command.takeFirst(), command);
    stop.waitForFinished(60000);
}

} // namespace KavvixTest
