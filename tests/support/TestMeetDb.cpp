#include "TestMeetDb.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace KavvixTest {

MeetDb::MeetDb(const QString &kind, const QString &name, const PgServer &server)
    : MeetDb(kind, name, Kavvix::SampleMeet::write, server) {}

MeetDb::MeetDb(const QString &kind, const QString &name, const Fill &fill, const PgServer &server) {
    static int count = 0;
    m_name = QStringLiteral("%1_%2").arg(name).arg(++count);
    m_postgres = kind == QLatin1String("PostgreSQL");
    if (m_postgres) {
        if (!server.isSet()) {
            m_skip =
                QStringLiteral("no PostgreSQL cluster (eval \"$(scripts/pg-cluster.sh start)\")");
            return;
        }
        m_name += QStringLiteral("_%1").arg(QCoreApplication::applicationPid());
        QSqlQuery admin(Kavvix::openMeetDatabase(server.url(QStringLiteral("postgres")),
                                                 QStringLiteral("admin-") + m_name));
        if (!admin.exec(QStringLiteral("CREATE DATABASE %1").arg(m_name))) {
            m_skip = admin.lastError().text();
            return;
        }
        m_location = server.url(m_name);
    } else {
        m_location = m_dir.filePath(m_name + QStringLiteral(".db"));
        QFile(m_location).open(QIODevice::WriteOnly);
    }
    if (fill)
        fill(connection());
}

MeetDb::~MeetDb() {
    const QString connectionName = QStringLiteral("test-") + m_name;
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase::database(connectionName).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
    if (m_postgres && m_skip.isEmpty()) {
        QSqlQuery admin(QSqlDatabase::database(QStringLiteral("admin-") + m_name));
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    }
}

QSqlDatabase MeetDb::connection() const {
    const QString connectionName = QStringLiteral("test-") + m_name;
    if (QSqlDatabase::contains(connectionName))
        return QSqlDatabase::database(connectionName);
    return Kavvix::openMeetDatabase(m_location, connectionName);
}

} // namespace KavvixTest
