#include "MeetDatabaseFixture.h"
#include "upload/EventValidator.h"

#include <QStringList>

using namespace Kavvix;
namespace Sample = Kavvix::SampleMeet;

namespace {

const QString OBrien = QStringLiteral("O'Brien's");
const QString MensEvent = QStringLiteral("Men's 1m");
const QString Injection = QStringLiteral("x' OR '1'='1");

// A meet and an event whose identifiers hold quotes; events whose identifiers resemble the
// combined event's, each with a part that would be picked if they counted as combined.
void addRows(const QSqlDatabase &db) {
    const QString event = QStringLiteral("INSERT INTO tblEventInfo (MeetID, EventID, EventName, "
                                         "combinedevent, CombinedEventID) VALUES (?, ?, ?, ?, ?)");
    KavvixTest::execSql(db, QStringLiteral("INSERT INTO tblMeetInfo VALUES (?, ?)"),
                        {OBrien, QStringLiteral("O'Brien's Summer Meet")});
    KavvixTest::execSql(db, event, {OBrien, MensEvent, MensEvent, false, QString()});
    for (int d = 1; d <= 3; ++d)
        KavvixTest::addDive(db, MensEvent, d, d, 1, QStringLiteral("101A"), 1.4, OBrien);
    const char *lookalikes[][3] = {
        {"ce7", "", "101A"}, {"XCE7", "", "201A"}, {"P8", "ce7", "301A"}, {"P9", "XCE7", "401A"}};
    for (const auto &[id, combined, dive] : lookalikes) {
        KavvixTest::execSql(db, event,
                            {QString(Sample::MeetID), QLatin1String(id), QLatin1String(id), false,
                             QLatin1String(combined)});
        KavvixTest::addDive(db, QLatin1String(id), 1, 1, 1, QLatin1String(dive), 1.5);
    }
}

class MeetQueries : public KavvixTest::MeetDatabaseFixture {
public:
    static void SetUpTestSuite() { openDatabases(&addRows); }
};

QStringList column(std::unique_ptr<QSqlQuery> rs, const char *name) {
    QStringList values;
    while (rs && rs->next())
        values << rs->value(QLatin1String(name)).toString();
    return values;
}

TEST_P(MeetQueries, MeetNameAndEventList) {
    EXPECT_EQ(modKavvix::GetMeetName(Sample::MeetID, db()), Sample::MeetName);
    EXPECT_EQ(modKavvix::GetMeetName(QStringLiteral("NOMEET"), db()), QString());
    const QStringList ids = column(modKavvix::GetMeetEvents(Sample::MeetID, db()), "EventID");
    ASSERT_EQ(ids.size(), 12 + 4);
    EXPECT_EQ(ids.first(), Sample::Event12Divers) << "the demo event is listed first";
    EXPECT_FALSE(ids.contains(Sample::CombinedEvent)) << "combined events are not listed";
    EXPECT_TRUE(ids.contains(Sample::CombinedPart1m));
}

// "CE" at the start (case-sensitive) selects the parts of a combined event; anything else
// selects only the event itself.
TEST_P(MeetQueries, CombinedEventRuleSelectsTheRightDiveSheets) {
    const struct {
        QString event;
        int rows;
        qint16 lastDiver;
        QString firstDive;
    } cases[] = {
        {Sample::CombinedEvent, 15 + 15, 5, {}},
        {QStringLiteral("ce7"), 1, 1, QStringLiteral("101A")},
        {QStringLiteral("XCE7"), 1, 1, QStringLiteral("201A")},
        {QStringLiteral("CE9"), 0, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        const QStringList dives =
            column(modKavvix::GetDiveSheets(Sample::MeetID, c.event, db()), "DiveNum");
        EXPECT_EQ(dives.size(), c.rows);
        if (!c.firstDive.isEmpty()) {
            EXPECT_EQ(dives.value(0), c.firstDive);
        }
        EXPECT_EQ(modKavvix::GetLastDiver(Sample::MeetID, c.event, db()), c.lastDiver);
    }
}

// Identifiers are values, never SQL: a quote neither breaks a query nor widens it.
TEST_P(MeetQueries, QuotesInIdentifiersNeitherBreakNorChangeQueries) {
    EXPECT_EQ(modKavvix::GetMeetName(OBrien, db()), QStringLiteral("O'Brien's Summer Meet"));
    EXPECT_EQ(column(modKavvix::GetMeetEvents(OBrien, db()), "EventID"), QStringList{MensEvent});
    EXPECT_EQ(column(modKavvix::GetDiveSheets(OBrien, MensEvent, db()), "DiveNum").size(), 3);
    EXPECT_EQ(modKavvix::GetLastDiver(OBrien, MensEvent, db()), 3);
    EXPECT_TRUE(ValidateEvent(OBrien, MensEvent, db(), [](const QString &, bool) {}));

    EXPECT_EQ(modKavvix::GetMeetName(Injection, db()), QString());
    EXPECT_EQ(column(modKavvix::GetMeetEvents(Injection, db()), "EventID"), QStringList());
    EXPECT_EQ(column(modKavvix::GetDiveSheets(Sample::MeetID, Injection, db()), "DiveNum"),
              QStringList());
    EXPECT_EQ(modKavvix::GetLastDiver(Injection, Injection, db()), 0);
}

KAVVIX_ON_EVERY_DATABASE(MeetQueries);

TEST(MeetQueriesWithoutDatabase, FailedQueriesGiveTheirErrorResults) {
    const QSqlDatabase none;
    EXPECT_EQ(modKavvix::GetMeetName(Sample::MeetID, none), QStringLiteral("Unknown"));
    EXPECT_EQ(modKavvix::GetMeetEvents(Sample::MeetID, none), nullptr);
    EXPECT_EQ(modKavvix::GetDiveSheets(Sample::MeetID, Sample::Event12Divers, none), nullptr);
    EXPECT_EQ(modKavvix::GetLastDiver(Sample::MeetID, Sample::Event12Divers, none), 0);
}

TEST(OpenMeetDatabase, RefusesWhatItCannotOpenWithOneClearLine) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(4096, 'x'));
    notes.close();
    const QString missing = dir.filePath(QStringLiteral("missing.sqlite"));
    const std::pair<QString, const char *> cases[] = {
        {QStringLiteral("postgresql://localhost/meets"), "no user name"},
        {QStringLiteral("postgresql://kim@localhost"), "no database name"},
        {QStringLiteral("postgresql://kim@/meets"), "no host"},
        {QStringLiteral("postgresql://kim@localhost:99999/meets"), "not a number from 1 to 65535"},
        {QStringLiteral("postgresql://kim@localhost/meets?sslmode=off"), "unsupported parameter"},
        {QStringLiteral("postgresql://kim:s3cret@%2Fno-such-folder:5/meets"),
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

} // namespace
