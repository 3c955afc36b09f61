#include "MeetDatabaseFixture.h"
#include "upload/DiveSheetPackets.h"
#include "upload/EventValidator.h"

#include <QStringList>

using namespace Kavvix;
using namespace KavvixTest;
namespace Sample = Kavvix::SampleMeet;

namespace {

const QString Start = QStringLiteral("Validating the event ...");
const QString Passed = QStringLiteral("Event passed validation checks");
const QString Aborted = QStringLiteral(">> Process Aborted <<");
const QString OrderNotSet = QStringLiteral("-- Diving order not set for all divers");
const QString ZeroDD = QStringLiteral("-- DDs of zero found for some dives");
const QString NotSequential =
    QStringLiteral("-- Diving order is not sequential (starting with 1) for this event");

// Validates and returns the lines written; the list is cleared only before the first.
QStringList validate(const QString &meet, const QString &event, const QSqlDatabase &db,
                     bool *result) {
    QStringList lines;
    *result = ValidateEvent(meet, event, db, [&](const QString &line, bool clear) {
        EXPECT_EQ(clear, lines.isEmpty()) << line.toStdString();
        lines << line;
    });
    return lines;
}

QStringList column(std::unique_ptr<QSqlQuery> rs, const char *name) {
    QStringList values;
    while (rs && rs->next())
        values << rs->value(QLatin1String(name)).toString();
    return values;
}

QStringList dives(const QString &meet, const QString &event, const QSqlDatabase &db) {
    return column(modKavvix::GetDiveSheets(meet, event, db), "DiveNum");
}

// The frames of an event, built as the upload builds them.
DiveSheetPackets build(const QSqlDatabase &db, const QString &event, const QString &command,
                       qint16 last = -1) {
    auto rs = modKavvix::GetDiveSheets(Sample::MeetID, event, db);
    EXPECT_NE(rs, nullptr);
    DiveSheetPackets packets;
    packets.InitDiverRows(last >= 0 ? last : modKavvix::GetLastDiver(Sample::MeetID, event, db));
    packets.BuildDiverRows(rs.get());
    packets.BuildPackets(command);
    return packets;
}

// Computed here from the bytes, independently of the library's checksum.
QString byteSum(const QString &frame) {
    unsigned sum = 0;
    for (char byte : frame.mid(1, frame.size() - 4).toLatin1())
        sum += static_cast<unsigned char>(byte);
    return QString::asprintf("%02X", sum % 256);
}

} // namespace

TEST_P(MeetDb, ValidationWritesOneLinePerProblemThenTheVerdict) {
    const struct {
        QString event;
        QStringList problems;
        bool passes;
    } cases[] = {
        {"NO-SUCH-EVENT", {"-- Invalid event, Unable to determine number of divers"}, false},
        {Sample::Event25Divers, {}, true},
        {Sample::Event26Divers, {"-- Cannot upload event with more than 25 divers"}, false},
        {Sample::SynchroEvent, {}, true},
        {"V1223", {}, true},
        {Sample::EventOrderGap, {NotSequential}, false}, // 1, 2, 4, 5
        {"V234", {NotSequential}, false},
        {Sample::EventOrderZero, {OrderNotSet}, false}, // 0 beside 1 and 2
        {Sample::EventNullDD, {ZeroDD}, false},
        {"V012N", {OrderNotSet, ZeroDD}, false},
        {Sample::EventBlankDiveNums, {"-- WARNING: some dive #s found to be blank"}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        bool result = !c.passes;
        EXPECT_EQ(validate(Sample::MeetID, c.event, db(), &result),
                  QStringList{Start} + c.problems + QStringList{c.passes ? Passed : Aborted});
        EXPECT_EQ(result, c.passes);
    }
}

TEST(EventValidation, DatabaseErrorIsReportedAndStopsTheUpload) {
    bool result = true;
    EXPECT_EQ(validate(Sample::MeetID, Sample::Event12Divers, QSqlDatabase(), &result),
              (QStringList{Start,
                           "-- Unable to check the event, database error: the database "
                           "connection is not open",
                           Aborted}));
    EXPECT_FALSE(result);
}

// "CE" at the start (case-sensitive) selects the parts of a combined event; anything else
// selects only the event itself.
TEST_P(MeetDb, CombinedEventRuleSelectsTheRightDiveSheets) {
    const std::tuple<QString, QStringList, qint16> cases[] = {
        {"ce7", {"101A"}, 1}, {"XCE7", {"201A"}, 1}, {"CE9", {}, 0}};
    for (const auto &[event, expected, last] : cases) {
        EXPECT_EQ(dives(Sample::MeetID, event, db()), expected) << event.toStdString();
        EXPECT_EQ(modKavvix::GetLastDiver(Sample::MeetID, event, db()), last);
    }
    EXPECT_EQ(dives(Sample::MeetID, Sample::CombinedEvent, db()).size(), 15 + 15);
    EXPECT_EQ(modKavvix::GetLastDiver(Sample::MeetID, Sample::CombinedEvent, db()), 5);
}

// Identifiers are values, never SQL: a quote neither breaks a query nor widens it.
TEST_P(MeetDb, QuotesInIdentifiersNeitherBreakNorChangeQueries) {
    const QString injection = QStringLiteral("x' OR '1'='1");
    EXPECT_EQ(modKavvix::GetMeetName(OBrien, db()), "O'Brien's Summer Meet");
    EXPECT_EQ(column(modKavvix::GetMeetEvents(OBrien, db()), "EventID"), QStringList{MensEvent});
    EXPECT_EQ(dives(OBrien, MensEvent, db()), (QStringList{"101A", "101A"}));
    EXPECT_EQ(modKavvix::GetLastDiver(OBrien, MensEvent, db()), 2);
    bool passed = false;
    EXPECT_EQ(validate(OBrien, MensEvent, db(), &passed), (QStringList{Start, Passed}));

    EXPECT_EQ(modKavvix::GetMeetName(injection, db()), QString());
    EXPECT_EQ(column(modKavvix::GetMeetEvents(injection, db()), "EventID"), QStringList());
    EXPECT_EQ(dives(Sample::MeetID, injection, db()), QStringList());
    EXPECT_EQ(modKavvix::GetLastDiver(injection, injection, db()), 0);
}

TEST_P(MeetDb, FramesOfFiveDiversEach) {
    const struct {
        QString event;
        QString command;
        QString count;
        QList<int> lengths;
    } cases[] = {
        {Sample::Event1Diver, "301", "01", {125}},
        {Sample::Event10Divers, "304", "10", {541, 541}},
        {Sample::Event12Divers, "302", "12", {541, 541, 229}},
        {Sample::Event25Divers, "303", "25", {541, 541, 541, 541, 541}},
    };
    const QString starts[] = {"01", "06", "11", "16", "21"};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        const QStringList frames = build(db(), c.event, c.command).Packets();
        ASSERT_EQ(frames.size(), 20);
        for (int k = 0; k < 20; ++k) {
            const QString &f = frames[k];
            ASSERT_EQ(f.size(), c.lengths.value(k)) << "frame " << k;
            if (f.isEmpty())
                continue;
            EXPECT_EQ(f.left(13), QChar(22) + QStringLiteral("10000000") + QChar(1) + c.command);
            EXPECT_EQ(f.mid(13, 4), starts[k] + c.count);
            EXPECT_EQ(f.right(4), QChar(4) + byteSum(f) + QChar(23));
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
}

// A dive without a slot stops the upload before any frame exists, naming the dive.
TEST_P(MeetDb, DiveWithoutSlotIsRefused) {
    const std::tuple<QString, qint16, QString> cases[] = {
        {"BADRND", 1,
         "Dive 105B of diving order 1 in round 14 has no slot: rounds run from 1 to 13"},
        {Sample::Event12Divers, 11,
         " of diving order 12 in round 1 has no slot: diving orders run from 1 to 11"},
    };
    for (const auto &[event, last, expected] : cases) {
        try {
            build(db(), event, QStringLiteral("301"), last);
            ADD_FAILURE() << "no error for " << event.toStdString();
        } catch (const Error &e) {
            EXPECT_TRUE(e.description().contains(expected)) << e.description().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Db, MeetDb,
                         ::testing::Values(DatabaseKind::SQLite, DatabaseKind::PostgreSQL),
                         [](const auto &info) {
                             return std::string(info.param == DatabaseKind::SQLite ? "SQLite"
                                                                                   : "PostgreSQL");
                         });

TEST(OpenMeetDatabase, RefusesWhatItCannotOpenWithOneClearLine) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write(QByteArray(4096, 'x')) == 4096);
    notes.close();
    const QString missing = dir.filePath(QStringLiteral("missing.sqlite"));
    const std::pair<QString, const char *> cases[] = {
        {"postgresql://localhost/meets", "no user name"},
        {"postgresql://kim@localhost", "no database name"},
        {"postgresql://kim@/meets", "no host"},
        {"postgresql://kim@localhost:99999/meets", "not a number from 1 to 65535"},
        {"postgresql://kim@localhost/meets?sslmode=off", "unsupported parameter"},
        {"postgresql://kim:s3cret@%2Fno-such-folder:5/meets",
         "Cannot open meet database postgresql://kim@/no-such-folder:5/meets:"},
        {missing, "Meet database file not found: "},
        {text, "file is not a database"},
    };
    for (const auto &[input, expected] : cases) {
        SCOPED_TRACE(input.toStdString());
        try {
            openMeetDatabase(input, QStringLiteral("refused"));
            ADD_FAILURE() << "opened";
        } catch (const Error &e) {
            EXPECT_TRUE(e.description().contains(QLatin1String(expected)))
                << e.description().toStdString();
            EXPECT_FALSE(e.description().contains(QLatin1String("s3cret")));
            EXPECT_FALSE(e.description().contains(QLatin1Char('\n')));
        }
        EXPECT_FALSE(QSqlDatabase::contains(QStringLiteral("refused")));
    }
    EXPECT_FALSE(QFile::exists(missing)) << "no file is created";
}
