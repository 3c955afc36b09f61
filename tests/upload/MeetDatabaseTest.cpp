#include "TestMeetDb.h"
#include "upload/DiveSheetReader.h"
#include "upload/EventValidator.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/UploadJob.h>
#include <kavvix/modKavvix.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace Kavvix;
namespace Sample = Kavvix::SampleMeet;

namespace {

const QString OBrien = QStringLiteral("O'Brien's");
const QString MensEvent = QStringLiteral("Men's 1m");
const QString Start = QStringLiteral("Validating the event ...");
const QString Passed = QStringLiteral("Event passed validation checks");
const QString Aborted = QStringLiteral(">> Process Aborted <<");

void execSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values) {
    QSqlQuery q(db);
    ASSERT_TRUE(q.prepare(sql)) << q.lastError().text();
    for (const QVariant &v : values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text();
}

// The sample meet, and rows beyond it: dives for every kind of slot, a meet and event whose
// identifiers hold quotes, events whose identifiers resemble the combined event's (each with a
// part that would be picked if they counted as combined), and 76 diving orders for 25 divers.
// One dive sheet row per dive (event, diving order = RegID, round, dive number, DD); an
// empty-typed QVariant stores a null.
void writeMeet(const QSqlDatabase &db) {
    Sample::write(db);
    const QVariant none(QMetaType::fromType<QString>());
    const std::tuple<QString, int, int, QVariant, QVariant> dives[] = {
        {"SLOTS", 1, 1, "105B", 2.4},   {"SLOTS", 1, 3, "5231d", 2},
        {"SLOTS", 1, 4, "12345C", 1.6}, {"SLOTS", 1, 5, "105X", 3.0},
        {"SLOTS", 1, 6, "", 1.5},       {"SLOTS", 1, 7, none, 2.25},
        {"SLOTS", 1, 13, "107C", 3.0},  {"SLOTS", 2, 1, "5337D", 3.3},
        {"SLOTS", 2, 2, "405c", 2.4},   {"BADRND", 1, 14, "105B", 2.4},
        {"ce7", 1, 1, "101A", 1.5},     {"XCE7", 1, 1, "201A", 1.5},
        {"P8", 1, 1, "301A", 1.5},      {"P9", 1, 1, "401A", 1.5},
        {MensEvent, 1, 1, "101A", 1.4}, {MensEvent, 2, 1, "101A", 1.4}};
    const QString dive = QStringLiteral("INSERT INTO tblDiveSheets (MeetID, EventID, RegID, "
                                        "DivingOrder, DiveRound, DiveNum, DiveDD) VALUES "
                                        "(?, ?, ?, ?, ?, ?, ?)");
    for (const auto &[event, order, round, diveNum, dd] : dives)
        execSql(db, dive,
                {event == MensEvent ? OBrien : Sample::MeetID, event, order, order, round, diveNum,
                 dd});
    for (int order = 1; order <= 76; ++order)
        execSql(db, dive,
                {QString(Sample::MeetID), "O76", (order - 1) % 25 + 1, order, 1, "105B", 2.4});
    const QString event = QStringLiteral("INSERT INTO tblEventInfo (MeetID, EventID, EventName, "
                                         "combinedevent, CombinedEventID) VALUES (?, ?, ?, ?, ?)");
    for (const auto &[part, combined] : {std::pair{"P8", "ce7"}, std::pair{"P9", "XCE7"}})
        execSql(db, event, {QString(Sample::MeetID), part, part, false, combined});
    execSql(db, QStringLiteral("INSERT INTO tblMeetInfo VALUES (?, ?)"),
            {OBrien, QStringLiteral("O'Brien's Summer Meet")});
    execSql(db, event, {OBrien, MensEvent, MensEvent, false, QString()});
}

// Every case runs on the meet above, in SQLite and in PostgreSQL (a database of the suite's on
// the cluster of scripts/pg-cluster.sh). Without KAVVIX_TEST_PG_HOST the PostgreSQL cases are
// skipped, or fail when KAVVIX_REQUIRE_PG=1.
class MeetDb : public ::testing::TestWithParam<std::string> {
public:
    static void TearDownTestSuite() { s_db.clear(); }

protected:
    void SetUp() override {
        auto &db = s_db[GetParam()];
        if (!db)
            db = std::make_unique<KavvixTest::MeetDb>(
                kind(), "meet_db", KavvixTest::PgServer::fromEnvironment(), writeMeet);
        if (!db->skipReason().isEmpty())
            KAVVIX_WITHOUT_POSTGRES(db->skipReason().toStdString());
    }
    QString kind() const { return QString::fromStdString(GetParam()); }
    QSqlDatabase db() const { return s_db[GetParam()]->connection(); }

private:
    inline static std::map<std::string, std::unique_ptr<KavvixTest::MeetDb>> s_db;
};

INSTANTIATE_TEST_SUITE_P(Db, MeetDb, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto &info) { return info.param; });

// Validates and returns the lines written; the list is cleared only before the first.
QStringList validate(const QString &meet, const QString &event, const QSqlDatabase &db,
                     bool *result, QList<ValidationProblem> *problems = nullptr) {
    QStringList lines;
    *result = ValidateEvent(
        meet, event, db,
        [&](const QString &line, bool clear) {
            EXPECT_EQ(clear, lines.isEmpty()) << line;
            lines << line;
        },
        problems);
    return lines;
}

// The description of the error f throws; empty when it throws none.
QString errorOf(const std::function<void()> &f) {
    try {
        f();
    } catch (const Error &e) {
        return e.description();
    }
    return QString();
}

QStringList column(std::unique_ptr<QSqlQuery> rs, const char *name) {
    QStringList values;
    while (rs && rs->next())
        values << rs->value(QLatin1String(name)).toString();
    return values;
}

// The frames of an event, built as the upload builds them.
DiveSheetPackets build(const QSqlDatabase &db, const QString &event, const QString &command,
                       qint16 last = -1) {
    auto rs = modKavvix::GetDiveSheets(Sample::MeetID, event, db);
    EXPECT_NE(rs, nullptr);
    DiveSheetPackets packets;
    packets.InitDiverRows(last >= 0 ? last : modKavvix::GetLastDiver(Sample::MeetID, event, db));
    BuildDiverRows(rs.get(), packets);
    packets.BuildPackets(command);
    return packets;
}

TEST_P(MeetDb, ValidationWritesOneLinePerProblemThenTheVerdict) {
    // The event; the problem line (none: empty); whether it passes; who is at fault, as the
    // problem describes it after the name of its check.
    const std::tuple<QString, QString, bool, QString> cases[] = {
        {"NO-SUCH-EVENT", "-- Invalid event, Unable to determine number of divers", false,
         "no-divers: no dive sheets for this event"},
        {Sample::Event25Divers, "", true, ""},
        {Sample::Event26Divers, "-- Cannot upload event with more than 25 divers", false,
         "too-many-divers: 26 divers, the console takes at most 25"},
        {Sample::SynchroEvent, "", true, ""}, // divers sharing a diving order
        {Sample::EventOrderGap,
         "-- Diving order is not sequential (starting with 1) for this event", false,
         "order-not-sequential: no diver has diving order 3"},
        {Sample::EventOrderZero, "-- Diving order not set for all divers", false,
         "diving-order-not-set: no diving order: diving order 0 (RegID 800) rounds 1-5"},
        {Sample::EventNullDD, "-- DDs of zero found for some dives", false,
         "zero-dd: DD zero or missing: diving order 3 (RegID 902) round 3"},
        {Sample::EventBlankDiveNums, "-- WARNING: some dive #s found to be blank", true,
         "blank-dive-number: blank dive number: diving order 2 (RegID 1001) round 2, diving "
         "order 4 (RegID 1003) round 4"},
    };
    for (const auto &[event, line, passes, atFault] : cases) {
        SCOPED_TRACE(event.toStdString());
        bool result = !passes;
        QList<ValidationProblem> problems;
        QStringList lines = validate(Sample::MeetID, event, db(), &result, &problems);
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines.takeFirst(), Start);
        EXPECT_EQ(lines.takeLast(), passes ? Passed : Aborted);
        EXPECT_EQ(lines.join(""), line);
        EXPECT_EQ(result, passes);
        QStringList described;
        for (const ValidationProblem &problem : problems)
            described << problem.name() + QStringLiteral(": ") + problem.describe();
        EXPECT_EQ(described.join(""), atFault);
    }
    // 51 diving orders above 25: the first 50 are listed, all are counted.
    bool result = true;
    QList<ValidationProblem> problems;
    validate(Sample::MeetID, "O76", db(), &result, &problems);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0].line, "-- Cannot upload event with a diving order above 25");
    EXPECT_EQ(problems[0].diveCount, 51);
    EXPECT_EQ(problems[0].dives.size(), ValidationProblem::MaxListed);
    const QString described = problems[0].describe();
    EXPECT_TRUE(described.startsWith("diving order above 25: diving order 26 (RegID 1) round 1, "))
        << described;
    EXPECT_TRUE(described.endsWith(" (RegID 25) round 1, and 1 more")) << described;
    // Without a usable database the check cannot be made, and the upload stops.
    EXPECT_EQ(validate(Sample::MeetID, Sample::Event12Divers, QSqlDatabase(), &result),
              (QStringList{Start,
                           "-- Unable to check the event, database error: the database "
                           "connection is not open",
                           Aborted}));
    EXPECT_FALSE(result);
}

// The check names the first table or column missing.
TEST_P(MeetDb, MissingTablesAndColumnsAreNamed) {
    const KavvixTest::MeetDb empty(kind(), "meet_db_bare", KavvixTest::PgServer::fromEnvironment(),
                                   {});
    const auto refusal = [&] { return errorOf([&] { requireMeetTables(empty.connection()); }); };
    EXPECT_EQ(refusal(), "Not a meet database: the table tblMeetInfo is missing");
    ASSERT_TRUE(
        QSqlQuery(empty.connection()).exec("CREATE TABLE tblMeetInfo (MeetID VARCHAR(20))"));
    EXPECT_EQ(refusal(), "Not a meet database: the table tblMeetInfo has no column MeetName");
    EXPECT_NO_THROW(requireMeetTables(db()));
}

// Which dive sheets an identifier selects. "CE" at the start (case-sensitive) selects the parts
// of a combined event; anything else only the event itself. Identifiers are values, never SQL:
// quotes in them break no query.
TEST_P(MeetDb, IdentifiersSelectTheRightDiveSheets) {
    // Meet, event; the dive numbers selected; the last diver.
    const std::tuple<QString, QString, QStringList, qint16> cases[] = {
        {Sample::MeetID, "ce7", {"101A"}, 1},
        {Sample::MeetID, "XCE7", {"201A"}, 1},
        {Sample::MeetID, "CE9", {}, 0},
        {OBrien, MensEvent, {"101A", "101A"}, 2},
    };
    const auto dives = [&](const QString &meet, const QString &event) {
        return column(modKavvix::GetDiveSheets(meet, event, db()), "DiveNum");
    };
    for (const auto &[meet, event, expected, last] : cases) {
        SCOPED_TRACE((meet + " " + event).toStdString());
        EXPECT_EQ(dives(meet, event), expected);
        EXPECT_EQ(modKavvix::GetLastDiver(meet, event, db()), last);
    }
    EXPECT_EQ(dives(Sample::MeetID, Sample::CombinedEvent).size(), 30);
    EXPECT_EQ(modKavvix::GetLastDiver(Sample::MeetID, Sample::CombinedEvent, db()), 5);

    EXPECT_EQ(modKavvix::GetMeetName(OBrien, db()), "O'Brien's Summer Meet");
    EXPECT_EQ(column(modKavvix::GetMeetEvents(OBrien, db()), "EventID"), QStringList{MensEvent});
    bool passed = false;
    EXPECT_EQ(validate(OBrien, MensEvent, db(), &passed), (QStringList{Start, Passed}));
}

TEST_P(MeetDb, FramesOfFiveDiversEach) {
    // The event; the dive order and its command; the count field; the lengths of the frames
    // that are not empty.
    const std::tuple<QString, QString, QString, QString, QList<int>> cases[] = {
        {Sample::Event1Diver, "a", "301", "01", {125}},
        {Sample::Event12Divers, "B", "302", "12", {541, 541, 229}},
        {Sample::Event25Divers, " d ", "304", "25", {541, 541, 541, 541, 541}},
    };
    const QString starts[] = {"01", "06", "11", "16", "21"};
    for (const auto &[event, order, command, count, lengths] : cases) {
        SCOPED_TRACE(event.toStdString());
        const QStringList frames = build(db(), event, UploadJob::diveOrderCommand(order)).Packets();
        ASSERT_EQ(frames.size(), 20);
        for (int k = 0; k < 20; ++k) {
            const QString &f = frames[k];
            ASSERT_EQ(f.size(), lengths.value(k)) << "frame " << k;
            if (f.isEmpty())
                continue;
            EXPECT_EQ(f.left(13), QChar(22) + QStringLiteral("10000000") + QChar(1) + command);
            EXPECT_EQ(f.mid(13, 4), starts[k] + count);
        }
    }
}

TEST_P(MeetDb, SlotsHoldNumberPositionAndDD) {
    const DiveSheetPackets packets = build(db(), QStringLiteral("SLOTS"), QStringLiteral("301"));
    // 105B, no round 2, 5231d, 12345C, 105X, blank, null with DD 2.25 (an exact half), 107C.
    const QString blank8(8, QLatin1Char(' '));
    const QString first = " 10512.4" + blank8 + "523132.0234521.6 10503.0    01.5    02.3" +
                          blank8.repeated(5) + " 10723.0";
    const QString second = "533733.3 40522.4" + blank8.repeated(11);
    EXPECT_EQ(packets.DiverRows(), (QStringList{first, second}));
    EXPECT_EQ(packets.Packets()[0].mid(13, 4 + 208), "0102" + first + second);

    // A dive without a slot stops the upload before any frame exists, naming the dive.
    const std::tuple<QString, qint16, QString> refused[] = {
        {"BADRND", 1,
         "Dive 105B of diving order 1 in round 14 has no slot: rounds run from 1 to 13"},
        {Sample::Event12Divers, 11,
         " of diving order 12 in round 1 has no slot: diving orders run from 1 to 11"},
    };
    for (const auto &[event, last, expected] : refused) {
        const QString error = errorOf([&] { build(db(), event, QStringLiteral("301"), last); });
        EXPECT_TRUE(error.contains(expected)) << error;
    }
}

TEST(OpenMeetDatabase, RefusesWhatItCannotOpenWithOneClearLine) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write(QByteArray(4096, 'x')) == 4096);
    notes.close();
    const QString missing = dir.filePath(QStringLiteral("missing.sqlite"));
    const std::pair<QString, const char *> cases[] = {
        {"postgresql://localhost/meets", "no user name"},
        {"postgresql://kim@localhost:99999/meets", "not a number from 1 to 65535"},
        {"postgresql://kim@localhost/meets?sslmode=off", "unsupported parameter"},
        {"postgresql://kim@localhost/meets?connect_timeout=soon",
         "connect_timeout \"soon\" is not a number from 0 to 86400"},
        {"postgresql://kim:s3cret@%2Fno-such-folder:5/meets",
         "Cannot open meet database postgresql://kim@/no-such-folder:5/meets:"},
        {missing, "Meet database file not found: "},
        {text, "notes.txt is not an SQLite meet database"},
    };
    for (const auto &[input, expected] : cases) {
        const QString error = errorOf([&] { openMeetDatabase(input, QStringLiteral("refused")); });
        EXPECT_TRUE(error.contains(QLatin1String(expected))) << error;
        EXPECT_FALSE(error.contains(QLatin1String("s3cret")) || error.contains(QLatin1Char('\n')));
        EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("refused")));
    }
    EXPECT_FALSE(QFile::exists(missing)) << "no file is created";
}

constexpr int HangBoundMs = 15000; // far above the time-outs used, far below "forever"

// The sample meet on a cluster of the test's own. A server that stops answering ends the wait
// after the time-outs (a statement on an open connection, and a new connection); a server shut
// down under an open record set is named as lost, not as a connection never opened.
TEST(ServerFault, StoppedOrShutDownServerEndsTheCheckWithOneLine) {
    if (!KavvixTest::PgServer::fromEnvironment().isSet())
        KAVVIX_WITHOUT_POSTGRES("no PostgreSQL cluster");
    KavvixTest::PrivateCluster cluster;
    ASSERT_TRUE(cluster.started());
    const QString url = cluster.server().url(
        QStringLiteral("postgres"), QStringLiteral("&connect_timeout=2&statement_timeout=500"));
    Sample::write(createMeetDatabase(url, QStringLiteral("meet")));
    const QString checkFailed = QStringLiteral("-- Unable to check the event, database error: ");
    const auto checkOf = [](const QSqlDatabase &db) {
        bool passed = true;
        return validate(Sample::MeetID, Sample::Event12Divers, db, &passed).value(1);
    };

    cluster.pause(2 * HangBoundMs);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(checkOf(QSqlDatabase::database(QStringLiteral("meet"))),
              checkFailed + "the database server did not answer within 500 ms");
    const QString error = errorOf([&] { openMeetDatabase(url, QStringLiteral("second")); });
    EXPECT_TRUE(error.contains(QLatin1String("timeout expired")) && !error.contains(u'\n'))
        << error;
    EXPECT_LT(clock.elapsed(), HangBoundMs);
    cluster.resume();

    {
        const QSqlDatabase db = openMeetDatabase(url, QStringLiteral("third"));
        auto events = modKavvix::GetMeetEvents(Sample::MeetID, db);
        ASSERT_NE(events, nullptr);
        ASSERT_TRUE(cluster.shutDown());
        events.reset();
        EXPECT_EQ(checkOf(db), checkFailed + "the database connection is closed or was lost "
                                             "(has the server shut down?)");
    }
    for (const char *name : {"meet", "second", "third"})
        QSqlDatabase::removeDatabase(QLatin1String(name));
}

} // namespace
