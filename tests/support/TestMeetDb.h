#pragma once

#include "TestPostgres.h"

#include <kavvix/simulator/SampleMeet.h>

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace KavvixTest {

// A meet database of the test's own: an SQLite file, or a fresh PostgreSQL database on the given
// server (the suite's cluster by default), dropped with the object. It holds what fill writes
// (the sample meet by default; nothing when fill is empty). skipReason() is set when it cannot
// be had.
class MeetDb {
public:
    using Fill = std::function<void(const QSqlDatabase &)>;

    MeetDb(const QString &kind, const QString &name,
           const PgServer &server = PgServer::fromEnvironment(),
           const Fill &fill = Kavvix::SampleMeet::write);
    ~MeetDb();
    QString location() const { return m_location; }
    QString skipReason() const { return m_skip; }
    QSqlDatabase connection() const;

private:
    QTemporaryDir m_dir;
    QString m_location;
    QString m_name;
    QString m_skip;
    bool m_postgres = false;
};

} // namespace KavvixTest
