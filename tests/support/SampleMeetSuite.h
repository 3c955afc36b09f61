#pragma once

#include <kavvix/simulator/SampleMeet.h>

#include <QSqlDatabase>
#include <QString>
#include <gtest/gtest.h>

namespace KavvixTest {

// A test suite whose tests share the sample meet, in an SQLite database in memory opened under
// the connection name Connection for the suite's lifetime.
template <const QString &Connection> class SampleMeetSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(db.open());
        Kavvix::SampleMeet::write(db);
    }
    static void TearDownTestSuite() { QSqlDatabase::removeDatabase(Connection); }
};

} // namespace KavvixTest
