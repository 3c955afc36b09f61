#pragma once

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/SampleMeet.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariantList>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace KavvixTest {

enum class DatabaseKind { SQLite, PostgreSQL };

// Runs one statement with bound values; a failure fails the current test or suite set-up.
inline void execSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {}) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
    for (const QVariant &v : values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
}

// One dive sheet row (an empty-typed QVariant stores a null).
inline void addDive(const QSqlDatabase &db, const QString &event, int regID, int order, int round,
                    const QVariant &diveNum, const QVariant &dd,
                    const QString &meet = Kavvix::SampleMeet::MeetID) {
    execSql(db,
            QStringLiteral("INSERT INTO tblDiveSheets (MeetID, EventID, RegID, DivingOrder, "
                           "DiveRound, DiveNum, DiveDD) VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {meet, event, regID, order, round, diveNum, dd});
}

// Each case of a suite derived from this fixture runs on the sample meet in SQLite (a temporary
// file) and in PostgreSQL (a database created for the suite, dropped after it) on the cluster of
// scripts/pg-cluster.sh. Without KAVVIX_TEST_PG_* the PostgreSQL cases are skipped, or fail when
// KAVVIX_REQUIRE_PG=1. A suite adds rows of its own with
//   static void SetUpTestSuite() { openDatabases(&addMyRows); }
// and is instantiated with KAVVIX_ON_EVERY_DATABASE(Suite).
class MeetDatabaseFixture : public ::testing::TestWithParam<DatabaseKind> {
public:
    using ExtraRows = std::function<void(const QSqlDatabase &)>;

    static void SetUpTestSuite() { openDatabases({}); }
    static void TearDownTestSuite() { closeDatabases(); }

protected:
    static void openDatabases(const ExtraRows &extraRows) {
        static int suite = 0;
        State &s = state();
        s.id = QStringLiteral("kavvix_test_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(++suite);
        s.dir = std::make_unique<QTemporaryDir>();
        const QString file = s.dir->filePath(QStringLiteral("meet.sqlite"));
        QFile(file).open(QIODevice::WriteOnly); // openMeetDatabase never creates one
        s.error[0] = fill(file, connectionName(DatabaseKind::SQLite), extraRows);
        if (!pgConfigured())
            return;
        s.error[1] = admin(QStringLiteral("CREATE DATABASE ") + s.id);
        if (s.error[1].isEmpty())
            s.error[1] = fill(pgUrl(s.id), connectionName(DatabaseKind::PostgreSQL), extraRows);
    }

    static void closeDatabases() {
        QSqlDatabase::removeDatabase(connectionName(DatabaseKind::SQLite));
        if (pgConfigured()) {
            QSqlDatabase::removeDatabase(connectionName(DatabaseKind::PostgreSQL));
            EXPECT_EQ(
                admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(state().id)),
                QString());
        }
        state() = State{};
    }

    void SetUp() override {
        const bool pg = GetParam() == DatabaseKind::PostgreSQL;
        if (pg && !pgConfigured()) {
            const char *why = "PostgreSQL cluster not configured (KAVVIX_TEST_PG_HOST, _PORT, "
                              "_USER): eval \"$(scripts/pg-cluster.sh start)\"";
            if (qEnvironmentVariable("KAVVIX_REQUIRE_PG") == QLatin1String("1"))
                FAIL() << why << ", and KAVVIX_REQUIRE_PG=1";
            GTEST_SKIP() << why;
        }
        ASSERT_EQ(state().error[pg ? 1 : 0], QString());
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName(GetParam()), false); }

private:
    struct State {
        QString id;
        std::unique_ptr<QTemporaryDir> dir;
        QString error[2]; // why the SQLite / PostgreSQL database could not be prepared
    };
    static State &state() {
        static State s;
        return s;
    }

    static QString connectionName(DatabaseKind kind) {
        return state().id +
               (kind == DatabaseKind::SQLite ? QStringLiteral("_sqlite") : QStringLiteral("_pg"));
    }

    static bool pgConfigured() {
        for (const char *name :
             {"KAVVIX_TEST_PG_HOST", "KAVVIX_TEST_PG_PORT", "KAVVIX_TEST_PG_USER"})
            if (qEnvironmentVariableIsEmpty(name))
                return false;
        return true;
    }

    static QString pgUrl(const QString &dbname) {
        return QStringLiteral("postgresql://%1@:%2/%3?host=%4")
            .arg(qEnvironmentVariable("KAVVIX_TEST_PG_USER"),
                 qEnvironmentVariable("KAVVIX_TEST_PG_PORT"), dbname,
                 qEnvironmentVariable("KAVVIX_TEST_PG_HOST"));
    }

    // Opens the database and writes the sample meet and the extra rows; the error or empty.
    static QString fill(const QString &target, const QString &name, const ExtraRows &extraRows) {
        try {
            const QSqlDatabase db = Kavvix::openMeetDatabase(target, name);
            Kavvix::SampleMeet::write(db);
            if (extraRows)
                extraRows(db);
            return {};
        } catch (const Kavvix::Error &e) {
            return e.description();
        }
    }

    // One statement on the cluster's maintenance database; the error or empty.
    static QString admin(const QString &sql) {
        const QString name = state().id + QStringLiteral("_admin");
        QString error;
        try {
            QSqlQuery q(Kavvix::openMeetDatabase(pgUrl(QStringLiteral("postgres")), name));
            if (!q.exec(sql))
                error = q.lastError().text();
        } catch (const Kavvix::Error &e) {
            error = e.description();
        }
        QSqlDatabase::removeDatabase(name);
        return error;
    }
};

} // namespace KavvixTest

#define KAVVIX_ON_EVERY_DATABASE(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Db, Suite,                                                                                 \
        ::testing::Values(KavvixTest::DatabaseKind::SQLite, KavvixTest::DatabaseKind::PostgreSQL), \
        [](const auto &info) {                                                                     \
            return std::string(info.param == KavvixTest::DatabaseKind::SQLite ? "SQLite"           \
                                                                              : "PostgreSQL");     \
        })
