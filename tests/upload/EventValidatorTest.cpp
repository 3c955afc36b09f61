#include "upload/EventValidator.h"
#include "MeetDatabaseFixture.h"

#include <QStringList>

using namespace Kavvix;
namespace Sample = Kavvix::SampleMeet;

namespace {

const QString Start = QStringLiteral("Validating the event ...");
const QString Passed = QStringLiteral("Event passed validation checks");
const QString Aborted = QStringLiteral(">> Process Aborted <<");
const QString NoDivers = QStringLiteral("-- Invalid event, Unable to determine number of divers");
const QString TooMany = QStringLiteral("-- Cannot upload event with more than 25 divers");
const QString OrderNotSet = QStringLiteral("-- Diving order not set for all divers");
const QString ZeroDD = QStringLiteral("-- DDs of zero found for some dives");
const QString Blank = QStringLiteral("-- WARNING: some dive #s found to be blank");
const QString NotSequential =
    QStringLiteral("-- Diving order is not sequential (starting with 1) for this event");

// Diving order patterns beyond the sample meet's: one dive per diver, (order, DD).
void addRows(const QSqlDatabase &db) {
    const QVariant noDD(QMetaType::fromType<double>());
    const std::pair<const char *, QList<std::pair<int, QVariant>>> events[] = {
        {"V1223", {{1, 2.0}, {2, 2.0}, {2, 2.0}, {3, 2.0}}},
        {"V234", {{2, 2.0}, {3, 2.0}, {4, 2.0}}},
        {"V012N", {{0, 2.0}, {1, noDD}, {2, 2.0}}},
    };
    for (const auto &[event, divers] : events)
        for (int i = 0; i < divers.size(); ++i)
            KavvixTest::addDive(db, QLatin1String(event), i + 1, divers[i].first, 1,
                                QStringLiteral("105B"), divers[i].second);
}

class EventValidation : public KavvixTest::MeetDatabaseFixture {
public:
    static void SetUpTestSuite() { openDatabases(&addRows); }
};

// Validates and returns the lines written; the list is cleared only before the first.
QStringList validate(const QString &event, const QSqlDatabase &db, bool *result) {
    QStringList lines;
    *result = ValidateEvent(Sample::MeetID, event, db, [&](const QString &line, bool clear) {
        EXPECT_EQ(clear, lines.isEmpty()) << line.toStdString();
        lines << line;
    });
    return lines;
}

TEST_P(EventValidation, WritesOneLinePerProblemThenTheVerdict) {
    const struct {
        QString event;
        QStringList problems;
        bool passes;
    } cases[] = {
        {QStringLiteral("NO-SUCH-EVENT"), {NoDivers}, false},
        {Sample::Event12Divers, {}, true},
        {Sample::Event25Divers, {}, true},
        {Sample::Event26Divers, {TooMany}, false},
        {Sample::SynchroEvent, {}, true},
        {QStringLiteral("V1223"), {}, true},
        {Sample::EventOrderGap, {NotSequential}, false},
        {QStringLiteral("V234"), {NotSequential}, false},
        {Sample::EventOrderZero, {OrderNotSet}, false},
        {Sample::EventNullDD, {ZeroDD}, false},
        {QStringLiteral("V012N"), {OrderNotSet, ZeroDD}, false},
        {Sample::EventBlankDiveNums, {Blank}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        bool result = !c.passes;
        EXPECT_EQ(validate(c.event, db(), &result),
                  QStringList{Start} + c.problems + QStringList{c.passes ? Passed : Aborted});
        EXPECT_EQ(result, c.passes);
    }
}

KAVVIX_ON_EVERY_DATABASE(EventValidation);

TEST(EventValidationWithoutDatabase, DatabaseErrorIsReportedAndStopsTheUpload) {
    bool result = true;
    const QStringList lines = validate(Sample::Event12Divers, QSqlDatabase(), &result);
    EXPECT_FALSE(result);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], QStringLiteral("-- Unable to check the event, database error: the database "
                                       "connection is not open"));
    EXPECT_EQ(lines[2], Aborted);
}

} // namespace
