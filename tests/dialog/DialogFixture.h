#pragma once

#include "upload/dialog/DakUploadSession.h"

#include "../serial/PortEnvironment.h"
#include "serial/ConsoleSimulator.h"

#include <kavvix/SampleMeet.h>

#include <QLocale>
#include <QSqlDatabase>
#include <QStringList>
#include <QTime>
#include <gtest/gtest.h>

namespace KavvixTest {

// The sample meet in a private in-memory SQLite database.
class SampleMeetDatabase {
public:
    SampleMeetDatabase() : m_name(QStringLiteral("dialog-test-%1").arg(++s_count)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        EXPECT_TRUE(db.open());
        Kavvix::SampleMeet::write(db);
    }
    ~SampleMeetDatabase() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    inline static int s_count = 0;
    QString m_name;
};

// The port number the tests use; the simulator's line is mapped to it.
inline constexpr qint16 TestPort = 3;

// A simulated console on port 3, the sample meet, and nothing else on the port list.
struct ConsoleOnPort3 {
    Kavvix::ConsoleSimulator sim;
    PortEnvironment env{{{TestPort, sim.slavePath()}}};
    SampleMeetDatabase meet;
};

// The texts of message list lines, each checked to be a time of day of the last two minutes
// in the locale's long time format (without a time zone), one blank and the text.
inline QStringList texts(const QStringList &lines) {
    using Kavvix::DakUploadSession;
    const qsizetype blanks = DakUploadSession::MessageLine(QTime(12, 0), QString()).count(u' ') - 1;
    const QTime now = QTime::currentTime();
    QStringList out;
    for (const QString &line : lines) {
        out << line.section(u' ', int(blanks) + 1);
        bool timed = false;
        for (int s = 0; s <= 120 && !timed; ++s)
            timed = line == DakUploadSession::MessageLine(now.addSecs(-s), out.constLast());
        EXPECT_TRUE(timed) << line.toStdString();
    }
    return out;
}

} // namespace KavvixTest
