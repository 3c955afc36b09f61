#pragma once

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/SampleMeet.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

namespace KavvixTest {

enum class DatabaseKind { SQLite, PostgreSQL };

inline const QString OBrien = QStringLiteral("O'Brien's");
inline const QString MensEvent = QStringLiteral("Men's 1m");

inline void execSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
    for (const QVariant &v : values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
}

// One dive sheet row per dive (event, diving order, round, dive number, DD); an empty-typed
// QVariant stores a null. RegID is the diving order.
inline void
addDives(const QSqlDatabase &db, const QString &meet,
         std::initializer_list<std::tuple<const char *, int, int, QVariant, QVariant>> dives) {
    for (const auto &[event, order, round, diveNum, dd] : dives)
        execSql(db,
                QStringLiteral("INSERT INTO tblDiveSheets (MeetID, EventID, RegID, DivingOrder, "
                               "DiveRound, DiveNum, DiveDD) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {meet, QString::fromUtf8(event), order, order, round, diveNum, dd});
}

// Rows beyond the sample meet's: diving order patterns, dives for every kind of slot, a meet
// and event whose identifiers hold quotes, and events whose identifiers resemble the combined
// event's (each with a part that would be picked if they counted as combined).
inline void addTestRows(const QSqlDatabase &db) {
    const QVariant noDD(QMetaType::fromType<double>()), none(QMetaType::fromType<QString>());
    addDives(db, Kavvix::SampleMeet::MeetID,
             {{"V1223", 1, 1, "105B", 2.0},   {"V1223", 2, 1, "105B", 2.0},
              {"V1223", 2, 1, "105B", 2.0},   {"V1223", 3, 1, "105B", 2.0},
              {"V234", 2, 1, "105B", 2.0},    {"V234", 3, 1, "105B", 2.0},
              {"V234", 4, 1, "105B", 2.0},    {"V012N", 0, 1, "105B", 2.0},
              {"V012N", 1, 1, "105B", noDD},  {"V012N", 2, 1, "105B", 2.0},
              {"SLOTS", 1, 1, "105B", 2.4},   {"SLOTS", 1, 3, "5231d", 2},
              {"SLOTS", 1, 4, "12345C", 1.6}, {"SLOTS", 1, 5, "105X", 3.0},
              {"SLOTS", 1, 6, "", 1.5},       {"SLOTS", 1, 7, none, 2.25},
              {"SLOTS", 1, 13, "107C", 3.0},  {"SLOTS", 2, 1, "5337D", 3.3},
              {"SLOTS", 2, 2, "405c", 2.4},   {"BADRND", 1, 14, "105B", 2.4},
              {"ce7", 1, 1, "101A", 1.5},     {"XCE7", 1, 1, "201A", 1.5},
              {"P8", 1, 1, "301A", 1.5},      {"P9", 1, 1, "401A", 1.5}});
    const QString event = QStringLiteral("INSERT INTO tblEventInfo (MeetID, EventID, EventName, "
                                         "combinedevent, CombinedEventID) VALUES (?, ?, ?, ?, ?)");
    for (const auto &[part, combined] : {std::pair{"P8", "ce7"}, std::pair{"P9", "XCE7"}})
        execSql(db, event, {QString(Kavvix::SampleMeet::MeetID), part, part, false, combined});
    execSql(db, QStringLiteral("INSERT INTO tblMeetInfo VALUES (?, ?)"),
            {OBrien, QStringLiteral("O'Brien's Summer Meet")});
    execSql(db, event, {OBrien, MensEvent, MensEvent, false, QString()});
    addDives(db, OBrien, {{"Men's 1m", 1, 1, "101A", 1.4}, {"Men's 1m", 2, 1, "101A", 1.4}});
}

// Every case runs on the sample meet plus the rows above, in SQLite (a temporary file) and in
// PostgreSQL (a database created for the suite on the cluster of scripts/pg-cluster.sh,
// dropped after it). Without KAVVIX_TEST_PG_* the PostgreSQL cases are skipped, or fail when
// KAVVIX_REQUIRE_PG=1.
class MeetDb : public ::testing::TestWithParam<DatabaseKind> {
public:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<QTemporaryDir>();
        const QString file = s_dir->filePath(QStringLiteral("meet.sqlite"));
        QFile(file).open(QIODevice::WriteOnly); // openMeetDatabase never creates one
        s_error[0] = fill(file, name(DatabaseKind::SQLite));
        if (pgConfigured() &&
            (s_error[1] = admin(QStringLiteral("CREATE DATABASE ") + id())).isEmpty())
            s_error[1] = fill(pgUrl(id()), name(DatabaseKind::PostgreSQL));
    }
    static void TearDownTestSuite() {
        QSqlDatabase::removeDatabase(name(DatabaseKind::SQLite));
        if (pgConfigured()) {
            QSqlDatabase::removeDatabase(name(DatabaseKind::PostgreSQL));
            EXPECT_EQ(admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(id())),
                      QString());
        }
        s_dir.reset();
    }

protected:
    void SetUp() override {
        const bool pg = GetParam() == DatabaseKind::PostgreSQL;
        if (pg && !pgConfigured()) {
            const char *why = "PostgreSQL cluster not configured (KAVVIX_TEST_PG_HOST, _PORT, "
                              "_USER): eval \"$(scripts/pg-cluster.sh start)\"";
            if (qEnvironmentVariable("KAVVIX_REQUIRE_PG") == QLatin1String("1"))
                FAIL() << why << ", and KAVVIX_REQUIRE_PG=1";
            GTEST_SKIP() << why;
        }
        ASSERT_EQ(s_error[pg ? 1 : 0], QString());
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name(GetParam()), false); }

private:
    static QString id() {
        return "kavvix_test_" + QString::number(QCoreApplication::applicationPid());
    }
    static QString name(DatabaseKind kind) {
        return id() + (kind == DatabaseKind::SQLite ? "_sqlite" : "_pg");
    }
    static bool pgConfigured() {
        return !qEnvironmentVariableIsEmpty("KAVVIX_TEST_PG_HOST") &&
               !qEnvironmentVariableIsEmpty("KAVVIX_TEST_PG_PORT") &&
               !qEnvironmentVariableIsEmpty("KAVVIX_TEST_PG_USER");
    }
    static QString pgUrl(const QString &dbname) {
        return QStringLiteral("postgresql://%1@:%2/%3?host=%4")
            .arg(qEnvironmentVariable("KAVVIX_TEST_PG_USER"),
                 qEnvironmentVariable("KAVVIX_TEST_PG_PORT"), dbname,
                 qEnvironmentVariable("KAVVIX_TEST_PG_HOST"));
    }
    // Opens the database and writes the sample meet and the test rows; the error or empty.
    static QString fill(const QString &target, const QString &connection) {
        try {
            const QSqlDatabase db = Kavvix::openMeetDatabase(target, connection);
            Kavvix::SampleMeet::write(db);
            addTestRows(db);
            return {};
        } catch (const Kavvix::Error &e) {
            return e.description();
        }
    }
    // One statement on the cluster's maintenance database; the error or empty.
    static QString admin(const QString &sql) {
        const QString connection = id() + QStringLiteral("_admin");
        QString error;
        try {
            QSqlQuery q(Kavvix::openMeetDatabase(pgUrl(QStringLiteral("postgres")), connection));
            if (!q.exec(sql))
                error = q.lastError().text();
        } catch (const Kavvix::Error &e) {
            error = e.description();
        }
        QSqlDatabase::removeDatabase(connection);
        return error;
    }

    inline static std::unique_ptr<QTemporaryDir> s_dir;
    inline static QString s_error[2]; // why the SQLite / PostgreSQL database is not ready
};

} // namespace KavvixTest
