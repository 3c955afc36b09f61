// The results table's revision rules, the journal's recovery from a record cut short, and the
// standings' ranking: the parts of the service that decide "exactly once"; and who dives next
// and under which name.
#include "service/DiveJournal.h"
#include "service/DiverNames.h"
#include "service/EventPlan.h"
#include "service/EventSummary.h"
#include "service/EventTally.h"
#include "service/JudgePanel.h"
#include "service/MirrorConsoles.h"
#include "service/ResultsCsv.h"
#include "service/ResultsTable.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/service/LiveService.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QSqlQuery>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Kavvix;

namespace {

DiveRecord dive(int round, int order, double total, qint64 receivedAtMs) {
    DiveRecord record;
    record.meetId = QStringLiteral("M1");
    record.eventId = QStringLiteral("E1");
    record.receivedAtMs = receivedAtMs;
    record.rawFrame = QStringLiteral("frame");
    for (const QMetaProperty &property : diveFieldProperties())
        record.fields.insert(QLatin1String(property.name()), canonicalField(property, QVariant(0)));
    record.fields[QStringLiteral("DiveRound")] = round;
    record.fields[QStringLiteral("DivingOrder")] = order;
    record.fields[QStringLiteral("TotalScore")] = total;
    return record;
}

// A new SQLite meet database in dir, with the sample meet when asked.
QSqlDatabase meetFile(const QTemporaryDir &dir, const QString &connection, bool withSample) {
    const QSqlDatabase db =
        createMeetDatabase(dir.filePath(connection + QStringLiteral(".db")), connection);
    if (withSample)
        SampleMeet::write(db);
    return db;
}

} // namespace

TEST(ResultsTableRules, EachSequenceEndsWithTheExpectedRowAndRevision) {
    struct Step {
        double total;
        qint64 at;
        ResultsTable::Outcome outcome;
    };
    using O = ResultsTable::Outcome;
    const struct {
        const char *name;
        std::vector<Step> steps;
        double finalTotal;
        int finalRevision;
        qint64 finalChange; // raised by each row stored, never by a dive left as it was
    } cases[] = {
        {"new dive", {{10, 1, O::Inserted}}, 10, 1, 1},
        {"identical repeat", {{10, 1, O::Inserted}, {10, 2, O::Unchanged}}, 10, 1, 1},
        {"correction", {{10, 1, O::Inserted}, {12, 2, O::Revised}}, 12, 2, 2},
        {"journal replayed after it was written",
         {{10, 1, O::Inserted}, {12, 2, O::Revised}, {10, 1, O::Unchanged}, {12, 2, O::Unchanged}},
         12,
         2,
         2},
        {"correction taken back",
         {{10, 1, O::Inserted}, {12, 2, O::Revised}, {10, 3, O::Revised}},
         10,
         3,
         3},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ResultsTable table(meetFile(dir, QStringLiteral("rules-%1").arg(++n), false));
        ASSERT_TRUE(table.ensureTable());
        for (const Step &step : c.steps) {
            DiveRecord record = dive(1, 3, step.total, step.at);
            EXPECT_EQ(table.store(record), step.outcome);
        }
        const auto rows = table.results(QStringLiteral("M1"), QStringLiteral("E1"));
        ASSERT_TRUE(rows && rows->size() == 1);
        EXPECT_EQ(rows->first().totalScore(), c.finalTotal);
        EXPECT_EQ(rows->first().revision, c.finalRevision);
        EXPECT_EQ(rows->first().change, c.finalChange);
        EXPECT_EQ(table.lastChange(), c.finalChange);
        EXPECT_EQ(table.changesSince(QStringLiteral("M1"), c.finalChange - 1)->size(), 1);
        EXPECT_TRUE(table.changesSince(QStringLiteral("M1"), c.finalChange)->isEmpty());
    }
}

// A table written before change numbers gets them in place; its rows read as change 0.
TEST(ResultsTableRules, AnOlderTableIsUpgradedInPlace) {
    QTemporaryDir dir;
    QSqlDatabase db = meetFile(dir, QStringLiteral("older"), false);
    {
        ResultsTable table(db);
        ASSERT_TRUE(table.ensureTable());
        DiveRecord record = dive(1, 1, 5, 1);
        ASSERT_EQ(table.store(record), ResultsTable::Outcome::Inserted);
    }
    for (const char *sql :
         {"DROP INDEX kavvix_dive_results_change",
          "ALTER TABLE kavvix_dive_results DROP COLUMN change_no", "DROP TABLE kavvix_changes"})
        ASSERT_TRUE(QSqlQuery(db).exec(QLatin1String(sql))) << sql;
    ResultsTable table(db);
    ASSERT_TRUE(table.ensureTable()) << table.lastError().toStdString();
    DiveRecord record = dive(1, 2, 7, 2);
    ASSERT_EQ(table.store(record), ResultsTable::Outcome::Inserted);
    const auto changed = table.changesSince(QStringLiteral("M1"), 0);
    ASSERT_TRUE(changed && changed->size() == 1);
    EXPECT_EQ(changed->first().divingOrder(), 2);
    EXPECT_EQ(table.results(QStringLiteral("M1"), QStringLiteral("E1"))->size(), 2);
}

TEST(DiveJournal, KeepsWholeRecordsAndDropsOneCutShort) {
    for (const int cut : {0, 1, 20, -1}) { // bytes of the third record left behind
        SCOPED_TRACE(cut);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/journal"));
        qint64 twoRecords = 0;
        {
            DiveJournal journal;
            ASSERT_TRUE(journal.open(path));
            ASSERT_TRUE(journal.append(dive(1, 1, 5, 1)));
            ASSERT_TRUE(journal.append(dive(1, 2, 6, 2)));
            twoRecords = QFile(path).size();
            ASSERT_TRUE(journal.append(dive(1, 3, 7, 3)));
        }
        const qint64 full = QFile(path).size();
        const qint64 keep = cut < 0 ? full - 1 : twoRecords + cut; // -1: only the newline lost
        QFile(path).resize(keep);

        {
            DiveJournal reopened;
            ASSERT_TRUE(reopened.open(path));
            ASSERT_EQ(reopened.pending().size(), 2);
            EXPECT_EQ(reopened.pending()[1].divingOrder(), 2);
            EXPECT_EQ(reopened.droppedBytes(), keep - twoRecords);
            EXPECT_EQ(QFile(path).size(), twoRecords);
            // Appending after the cut gives whole records again.
            ASSERT_TRUE(reopened.append(dive(1, 4, 8, 4)));
        }
        {
            // Forgetting the oldest keeps the rest, on disk too.
            DiveJournal again;
            ASSERT_TRUE(again.open(path));
            EXPECT_EQ(again.pending().size(), 3);
            ASSERT_TRUE(again.forget(1));
            ASSERT_TRUE(again.append(dive(1, 5, 9, 5)));
        }
        DiveJournal rest;
        ASSERT_TRUE(rest.open(path));
        ASSERT_EQ(rest.pending().size(), 3);
        EXPECT_EQ(rest.pending()[0].divingOrder(), 2);
        EXPECT_EQ(rest.pending()[2].divingOrder(), 5);
        ASSERT_TRUE(rest.forget(3));
        EXPECT_EQ(QFile(path).size(), 0);
    }
}

// Each line stands alone: whatever spoils one line costs that line only, and is reported.
TEST(DiveJournal, ReadsEveryGoodRecordAroundABadLine) {
    const struct {
        const char *name;
        QByteArray front;   // before the first record
        QByteArray between; // after the second record
        int skipped;
    } cases[] = {
        {"a blank line", {}, "\n", 0},
        {"a garbage line", {}, "garbage\n", 1},
        {"a record without its fields",
         {},
         R"({"meetId":"RIV26","eventId":"E12"})"
         "\n",
         1},
        {"NUL bytes in front", QByteArray(4096, '\0'), {}, 0},
        {"NUL bytes in a line", {}, QByteArray(100, '\0') + "\n", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("journal"));
        QByteArray lines;
        {
            DiveJournal journal;
            ASSERT_TRUE(journal.open(path));
            for (int order = 1; order <= 6; ++order)
                ASSERT_TRUE(journal.append(dive(1, order, 5 + order, order)));
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> records = file.readAll().split('\n');
        file.close();
        QByteArray spoiled = c.front;
        for (int i = 0; i < 6; ++i)
            spoiled += records[i] + '\n' + (i == 1 ? c.between : QByteArray());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(spoiled);
        file.close();

        DiveJournal reopened;
        ASSERT_TRUE(reopened.open(path));
        ASSERT_EQ(reopened.pending().size(), 6);
        EXPECT_EQ(reopened.pending()[5].divingOrder(), 6);
        EXPECT_EQ(reopened.skipped().size(), c.skipped);
        EXPECT_EQ(reopened.droppedBytes(), 0);
    }
}

TEST(DiveJournal, HasOneOwner) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal"));
    auto first = std::make_unique<DiveJournal>();
    ASSERT_TRUE(first->open(path));
    DiveJournal second;
    EXPECT_FALSE(second.open(path));
    EXPECT_TRUE(second.errorText().contains(QLatin1String("in use by another service")))
        << second.errorText().toStdString();
    first.reset();
    EXPECT_TRUE(second.open(path));
}

TEST(Standings, RanksByTheLatestTotalAndTiesShareARank) {
    const QList<DiveRecord> dives = {
        dive(1, 1, 40, 1), dive(1, 2, 50, 2), dive(1, 3, 45, 3), dive(2, 1, 95, 4),
        dive(2, 2, 95, 5), dive(2, 3, 90, 6), dive(1, 4, 10, 7),
    };
    const QJsonArray table = EventTally(dives).standings();
    ASSERT_EQ(table.size(), 4);
    const auto entry = [&](int i, const char *key) { return table[i].toObject()[key].toDouble(); };
    EXPECT_EQ(entry(0, "rank"), 1);
    EXPECT_EQ(entry(1, "rank"), 1);
    EXPECT_EQ(entry(2, "rank"), 3);
    EXPECT_EQ(entry(2, "DivingOrder"), 3);
    EXPECT_EQ(entry(2, "total"), 90);
    EXPECT_EQ(entry(3, "rank"), 4);
    EXPECT_EQ(entry(0, "divesJudged"), 2);
    EXPECT_EQ(entry(3, "divesJudged"), 1);
}

// A host may run the service, stop it and run it again in one process.
TEST(LiveServiceInProcess, StartsAgainAfterAnEarlierOneIsGone) {
    QTemporaryDir dir;
    const QString file = meetFile(dir, QStringLiteral("again"), true).databaseName();
    ConsoleSimulator simulator;
    modKavvix::MapPort(1, simulator.slavePath());
    for (int run = 1; run <= 2; ++run) {
        LiveServiceOptions options;
        options.database = file;
        options.meetId = QString(SampleMeet::MeetID);
        options.httpPort = 0;
        LiveService service(options);
        EXPECT_NO_THROW(service.start()) << "run " << run;
    }
}

// One rule, in any letter case, tells a server URL from a file: it chooses the driver and
// where the journal goes (beside a file; in the data folder for a server, never in a folder
// named after the scheme).
TEST(LiveServiceInProcess, DatabaseUrlRuleChoosesTheJournalPlace) {
    const std::pair<const char *, bool> cases[] = {
        {"postgresql://kim@host/meets", true},
        {"POSTGRESQL://kim@host/meets", true},
        {"Postgres://kim@host/meets", true},
        {"postgresq://kim@host/meets", false},
        {"meet.sqlite", false},
        {"./postgresql://meet.sqlite", false},
    };
    for (const auto &[text, isUrl] : cases) {
        EXPECT_EQ(isPostgresUrl(QLatin1String(text)), isUrl) << text;
        LiveServiceOptions options;
        options.database = QLatin1String(text);
        options.meetId = QStringLiteral("M1");
        const QString journal = LiveService(options).journalPath();
        if (isUrl) {
            EXPECT_TRUE(QFileInfo(journal).isAbsolute()) << text << " " << journal.toStdString();
            EXPECT_TRUE(journal.contains(QLatin1String("/kavvix/journal-"))) << text;
        } else {
            EXPECT_EQ(journal, QLatin1String(text) + QStringLiteral(".M1.journal"));
        }
    }
}

TEST(EventPlan, NextIsTheFirstPlannedDiveAfterTheLastJudgedOne) {
    QTemporaryDir dir;
    const QSqlDatabase db = meetFile(dir, QStringLiteral("next"), true);
    const struct {
        QList<DiveRecord> judged;
        int round, order; // 0: nobody left
    } cases[] = {
        {{}, 1, 1},
        {{dive(1, 1, 0, 1)}, 1, 2},
        {{dive(1, 3, 0, 2), dive(1, 1, 0, 3)}, 1, 4}, // a late correction does not go back
        {{dive(1, 12, 0, 1)}, 2, 1},
        {{dive(6, 12, 0, 1)}, 0, 0},
    };
    PreparedStatements statements(db);
    EventPlan plan;
    ASSERT_TRUE(plan.load(statements, QString(SampleMeet::MeetID), QStringLiteral("E12")));
    EXPECT_EQ(plan.rounds(), 6);
    EXPECT_EQ(plan.divers(), 12);
    EXPECT_EQ(plan.plannedDives(), 72);
    EXPECT_EQ(plan.diverNumber(4), 4);
    EXPECT_EQ(plan.diverNumber(13), 0);
    for (const auto &c : cases) {
        const QJsonObject dive = plan.next(EventTally(c.judged).lastJudged()).toObject();
        EXPECT_EQ(dive["DiveRound"].toInt(), c.round);
        EXPECT_EQ(dive["DivingOrder"].toInt(), c.order);
    }
    // The dive sheets' "5231D" comes apart as the console sends it: number and position.
    const QJsonObject first = plan.next({}).toObject();
    EXPECT_EQ(first["DiveNumber"].toString(), "5231");
    EXPECT_EQ(first["DivePos"].toString(), "D");
    EXPECT_EQ(first["DiveDD"].toDouble(), 2.0);
}

TEST(DiverNames, ComeFromKavvixDiversOrAreNull) {
    QTemporaryDir dir;
    const QSqlDatabase db = meetFile(dir, QStringLiteral("names"), true);
    QSqlQuery(db).exec("INSERT INTO kavvix_divers VALUES ('RIV26', 7, '  ', NULL)");
    const DiverNames names(db, QString(SampleMeet::MeetID));
    const auto named = [](const DiverNames::Map &map, QJsonValue regId) {
        QJsonObject object{{"regId", regId}};
        DiverNames::annotate(object, map);
        return QJsonObject{{"n", object["diverName"]}, {"t", object["team"]}};
    };
    const QJsonValue null;
    EXPECT_EQ(named(names.load(), 100),
              (QJsonObject{{"n", "Aoife O'Sullivan"}, {"t", "Riverside DC"}}));
    EXPECT_EQ(named(names.load(), 300), (QJsonObject{{"n", null}, {"t", null}}));  // not in it
    EXPECT_EQ(named(names.load(), 7), (QJsonObject{{"n", null}, {"t", null}}));    // blank
    EXPECT_EQ(named(names.load(), null), (QJsonObject{{"n", null}, {"t", null}})); // no RegID
    QSqlQuery(db).exec("DROP TABLE kavvix_divers");
    EXPECT_EQ(named(names.load(), 100), (QJsonObject{{"n", null}, {"t", null}}));
}

// The awards a page strikes through: only when the kept ones give the console's total.
TEST(JudgePanel, DiscardsByTheRuleOnlyWhenTheConsoleTotalAgrees) {
    const struct {
        QList<double> awards;
        double dd, total;
        QList<int> discarded; // indices into awards
    } cases[] = {
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.0, {3, 4}},                 // 5: lowest and highest
        {{7.0, 7.0, 7.0, 7.0, 7.0}, 2.0, 42.0, {0, 4}},                 // ties: one of each
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 40.0, {}},                     // a penalty: none
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.009, {3, 4}},               // within 0.01
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.02, {}},                    // beyond it
        {{8.0, 7.5, 7.0, 6.5, 6.0, 8.5, 9.0}, 3.0, 67.5, {3, 4, 5, 6}}, // 7: two at each end
        {{7.0, 7.0, 6.0, 6.0, 8.0, 8.0, 7.0}, 1.0, 21.0, {2, 3, 4, 5}},
        {{0, 0, 0, 0, 0}, 2.0, 0, {}},                // a failed dive
        {{6.0, 6.5, 7.0}, 2.0, 39.0, {}},             // no rule for three
        {{6, 6, 6, 6, 6, 6, 6, 6, 6}, 3.0, 54.0, {}}, // a synchronised panel
    };
    for (const auto &c : cases)
        EXPECT_EQ(JudgePanel::discarded(c.awards, c.dd, c.total), c.discarded)
            << c.awards.size() << " awards, total " << c.total;
}

TEST(JudgePanel, IsWhoeverAwardedInTheEventElseAtTheMeetElseFive) {
    const auto withAwards = [](QList<double> awards) {
        DiveRecord record = dive(1, 1, 0, 1);
        for (int i = 0; i < awards.size(); ++i)
            record.fields[QStringLiteral("J%1Score").arg(i + 1)] = awards[i];
        return record;
    };
    const struct {
        QList<DiveRecord> dives;
        QList<int> meetPanel, panel;
    } cases[] = {
        {{withAwards({6, 6, 6, 6, 6})}, {}, {1, 2, 3, 4, 5}},
        {{withAwards({6, 6, 0, 6, 6, 6, 6}), withAwards({0, 0, 5})}, {}, {1, 2, 3, 4, 5, 6, 7}},
        {{withAwards({0, 0, 0, 0, 0, 0, 0})}, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}},
        {{}, {}, {1, 2, 3, 4, 5}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(JudgePanel::panelOf(EventTally(c.dives).positionsAwarding(),
                                      [&c] { return c.meetPanel; }),
                  c.panel);
    QJsonObject fields = withAwards({6.5, 7, 7.5, 6, 8}).fields;
    fields[QStringLiteral("DiveDD")] = 2.0;
    fields[QStringLiteral("DiveTotal")] = 42.0;
    const QJsonArray awards = JudgePanel::awards(fields, {1, 2, 3, 4, 5});
    ASSERT_EQ(awards.size(), 5);
    EXPECT_EQ(awards[3].toObject(),
              (QJsonObject{{"judge", 4}, {"award", 6.0}, {"discarded", true}}));
    for (const auto &[flag, set] :
         {std::pair{" ", false}, std::pair{"0", false}, std::pair{"N", false}, std::pair{"F", true},
          std::pair{"Y", true}, std::pair{"1", true}})
        EXPECT_EQ(JudgePanel::flagSet(QString::fromLatin1(flag)), set) << flag;
}

TEST(ResultsCsv, QuotesWhatWouldBreakARow) {
    for (const auto &[text, written] :
         {std::pair{"Grace Okafor", "Grace Okafor"},
          std::pair{"O'Sullivan, A.", "\"O'Sullivan, A.\""},
          std::pair{"say \"hi\"", "\"say \"\"hi\"\"\""}, std::pair{"two\nlines", "\"two\nlines\""},
          std::pair{"", ""}})
        EXPECT_EQ(ResultsCsv::field(QString::fromUtf8(text)), QString::fromUtf8(written));
}

// The standings before a dive, kept without the event's dives, are those of the event with
// that dive taken out: whichever dive it is, with corrections arriving late and equal times.
TEST(Standings, BeforeADiveAreThoseWithoutIt) {
    const QList<QList<DiveRecord>> events = {
        {dive(1, 1, 40, 1), dive(1, 2, 50, 2), dive(2, 1, 95, 3), dive(2, 2, 80, 3)},
        {dive(1, 1, 40, 5), dive(2, 1, 90, 2), dive(3, 1, 99, 9), dive(1, 2, 60, 7)},
        {dive(1, 1, 40, 4), dive(2, 1, 70, 4), dive(3, 1, 75, 4), dive(1, 2, 70, 1)},
        {dive(1, 1, 40, 9), dive(2, 1, 70, 4), dive(3, 1, 75, 4), dive(1, 2, 72, 1)},
    };
    for (const QList<DiveRecord> &dives : events)
        for (qsizetype i = 0; i < dives.size(); ++i) {
            SCOPED_TRACE(i);
            QList<DiveRecord> others = dives;
            others.removeAt(i);
            EXPECT_EQ(EventTally(dives).standings(&dives[i]), EventTally(others).standings());
        }
}

// The standings after a dive know each diver's place before it; the judged dive its own.
TEST(EventSummary, PlacesBeforeAndAfterTheJudgedDive) {
    QTemporaryDir dir;
    const QSqlDatabase db = meetFile(dir, QStringLiteral("summary"), true);
    PreparedStatements statements(db);
    EventPlan plan;
    ASSERT_TRUE(plan.load(statements, QString(SampleMeet::MeetID), QStringLiteral("E12")));
    QList<DiveRecord> dives = {dive(1, 1, 40, 1), dive(1, 2, 50, 2), dive(1, 3, 45, 3)};
    const DiverNames::Map names;
    const auto summaryAfter = [&](const QList<DiveRecord> &judged) {
        return EventSummary::build({EventTally(judged), plan, names, {}});
    };
    EventSummary summary = summaryAfter(dives);
    EXPECT_EQ(summary.judged["place"].toInt(), 2);
    EXPECT_TRUE(summary.judged["placeBefore"].isNull()); // first dive: not placed before
    EXPECT_EQ(summary.progress["diver"].toInt(), 3);
    EXPECT_EQ(summary.progress["rounds"].toInt(), 6);
    EXPECT_EQ(summary.progress["state"].toString(), "in-progress");
    EXPECT_EQ(summary.next["DivingOrder"].toInt(), 4);

    dives.append(dive(1, 4, 60, 4)); // a new leader pushes everyone down one place
    summary = summaryAfter(dives);
    EXPECT_TRUE(summary.judged["placeBefore"].isNull());
    EXPECT_EQ(summary.judged["place"].toInt(), 1);
    QList<std::pair<int, int>> moves; // diving order, previous rank
    for (const QJsonValue &entry : summary.standings)
        moves.append({entry["DivingOrder"].toInt(), entry["previousRank"].toInt()});
    EXPECT_EQ(moves, (QList<std::pair<int, int>>{{4, 0}, {2, 1}, {3, 2}, {1, 3}}));
    // When each is up again: after the rest of round 1 (orders 5 to 12) and those before them.
    QList<std::pair<int, int>> coming; // next round, dives before
    for (const QJsonValue &entry : summary.standings)
        coming.append({entry["nextRound"].toInt(), entry["divesBefore"].toInt()});
    EXPECT_EQ(coming, (QList<std::pair<int, int>>{{2, 11}, {2, 9}, {2, 10}, {2, 8}}));
    dives.append(dive(2, 1, 100, 5)); // the last one climbs to the top
    summary = summaryAfter(dives);
    EXPECT_EQ(summary.judged["placeBefore"].toInt(), 4);
    EXPECT_EQ(summary.judged["place"].toInt(), 1);
    EXPECT_EQ(summary.progress["round"].toInt(), 2);
    EXPECT_EQ(eventState(0, 72), "not-started");
    EXPECT_EQ(eventState(72, 72), "finished");
}

// A mirror's pages show one line for the meet's consoles: up only while every running one is.
TEST(MirrorConsoles, OneLineForEveryRunningConsole) {
    const auto console = [](const char *name, bool running, bool open, const char *since) {
        return QJsonObject{{"name", name},          {"running", running}, {"open", open},
                           {"since", since},        {"answering", open},  {"version", "V1"},
                           {"versionCurrent", open}};
    };
    const struct {
        const char *name;
        QJsonArray consoles;
        bool open;
        const char *since;
        QJsonValue version;
    } cases[] = {
        {"one up", {console("1m", true, true, "10:00")}, true, "10:00", "V1"},
        {"both up: the later since",
         {console("1m", true, true, "10:00"), console("3m", true, true, "10:05")},
         true,
         "10:05",
         QJsonValue()},
        {"one down: its since",
         {console("1m", true, true, "10:07"), console("3m", true, false, "10:06")},
         false,
         "10:06",
         "V1"},
        {"a stopped one does not count",
         {console("1m", true, true, "10:00"), console("3m", false, false, "09:00")},
         true,
         "10:00",
         "V1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MirrorConsoles consoles;
        consoles.reset(c.consoles);
        const QJsonObject line = consoles.combined();
        EXPECT_EQ(line["open"].toBool(), c.open);
        EXPECT_EQ(line["since"].toString(), QLatin1String(c.since));
        EXPECT_EQ(line["version"], c.version);
    }
    // (A console's message taking its line down on a mirror: Mirror.TwoConsoles... in MirrorTest.)
    EXPECT_FALSE(MirrorConsoles().combined()["open"].toBool()); // none running yet
}
