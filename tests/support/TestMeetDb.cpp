#include "TestMeetDb.h"

#include <kavvix/MeetDatabase.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace KavvixTest {

MeetDb::MeetDb(const QString &kind, const QString &name, const PgServer &server, const Fill &fill) {
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
    QSqlDatabase::removeDatabase(QStringLiteral("test-") + m_name);
    if (m_postgres && m_skip.isEmpty())
        QSqlQuery(QSqlDatabase::database(QStringLiteral("admin-") + m_name))
            .exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
}

QSqlDatabase MeetDb::connection() const {
    const QString name = QStringLiteral("test-") + m_name;
    return QSqlDatabase::contains(name) ? QSqlDatabase::database(name)
                                        : Kavvix::openMeetDatabase(m_location, name);
}

} // namespace KavvixTest
