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

// Only a dive that arrived later than the row's own replaces it (a journal replayed after its
// dives were written changes nothing); each row stored raises the revision and takes a change.
TEST(ResultsTableRules, OnlyALaterDifferingDiveRevisesTheRow) {
    QTemporaryDir dir;
    ResultsTable table(meetFile(dir, QStringLiteral("rules"), false));
    ASSERT_TRUE(table.ensureTable());
    using O = ResultsTable::Outcome;
    const std::tuple<double, qint64, O, int> steps[] = {
        // total, arrival, outcome, revision
        {10, 1, O::Inserted, 1},  {12, 2, O::Revised, 2},   // a correction
        {10, 1, O::Unchanged, 2}, {12, 2, O::Unchanged, 2}, // the journal replayed
        {10, 3, O::Revised, 3},                             // the correction taken back
    };
    for (const auto &[total, at, outcome, revision] : steps) {
        DiveRecord record = dive(1, 3, total, at);
        EXPECT_EQ(table.store(record), outcome) << total << " at " << at;
        const auto rows = table.results(QStringLiteral("M1"), QStringLiteral("E1"));
        ASSERT_TRUE(rows && rows->size() == 1);
        EXPECT_EQ(rows->first().revision, revision);
        EXPECT_EQ(rows->first().change, revision); // one per row stored
        EXPECT_EQ(table.lastChange(), revision);
    }
    EXPECT_EQ(table.results(QStringLiteral("M1"), QStringLiteral("E1"))->first().totalScore(), 10);
    EXPECT_EQ(table.changesSince(QStringLiteral("M1"), 2)->size(), 1);
    EXPECT_TRUE(table.changesSince(QStringLiteral("M1"), 3)->isEmpty());
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

// Each line stands alone: whatever spoils one line costs that line only, and is reported; a
// last record cut short is dropped and cut off, so that appending gives whole records again.
TEST(DiveJournal, ReadsEveryWholeRecordAroundWhatIsSpoiled) {
    const struct {
        const char *name;
        QByteArray front;   // before the first record
        QByteArray between; // after the second record
        int cut;            // bytes cut off the end
        int skipped;
    } cases[] = {
        {"a blank line", {}, "\n", 0, 0},
        {"a garbage line", {}, "garbage\n", 0, 1},
        {"a record without its fields", {}, QByteArray(R"({"meetId":"RIV26"})") + '\n', 0, 1},
        {"NUL bytes in front", QByteArray(4096, '\0'), {}, 0, 0},
        {"NUL bytes in a line", {}, QByteArray(100, '\0') + "\n", 0, 0},
        {"only the last newline lost", {}, {}, 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/journal"));
        {
            DiveJournal journal;
            ASSERT_TRUE(journal.open(path));
            for (int order = 1; order <= 3; ++order)
                ASSERT_TRUE(journal.append(dive(1, order, 5 + order, order)));
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QList<QByteArray> records = file.readAll().split('\n');
        const QByteArray spoiled =
            c.front + records[0] + '\n' + records[1] + '\n' + c.between + records[2] + '\n';
        file.resize(0);
        file.write(spoiled.left(spoiled.size() - c.cut));
        file.close();

        const int whole = c.cut ? 2 : 3;
        {
            DiveJournal reopened;
            ASSERT_TRUE(reopened.open(path));
            ASSERT_EQ(reopened.pending().size(), whole);
            EXPECT_EQ(reopened.pending().last().divingOrder(), whole);
            EXPECT_EQ(reopened.skipped().size(), c.skipped);
            EXPECT_EQ(reopened.droppedBytes(), c.cut ? records[2].size() + 1 - c.cut : 0);
            ASSERT_TRUE(reopened.append(dive(1, 4, 9, 4)));
            ASSERT_TRUE(reopened.forget(1)); // the oldest is in the database now
        }
        DiveJournal rest;
        ASSERT_TRUE(rest.open(path));
        ASSERT_EQ(rest.pending().size(), whole);
        EXPECT_EQ(rest.pending().first().divingOrder(), 2);
        EXPECT_EQ(rest.pending().last().divingOrder(), 4);
        ASSERT_TRUE(rest.forget(whole));
        EXPECT_EQ(QFile(path).size(), 0);
    }
}

TEST(DiveJournal, HasOneOwner) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal"));
    auto first = std::make_unique<DiveJournal>();
    ASSERT_TRUE(first->open(path));
    DiveJournal second;
    EXPECT_FALSE(second.open(path));
    EXPECT_TRUE(second.errorText().contains(QLatin1String("in use by another service")));
    first.reset();
    EXPECT_TRUE(second.open(path));
}

TEST(Standings, RanksByTheLatestTotalAndTiesShareARank) {
    const QList<DiveRecord> dives = {
        dive(1, 1, 40, 1), dive(1, 2, 50, 2), dive(1, 3, 45, 3), dive(2, 1, 95, 4),
        dive(2, 2, 95, 5), dive(2, 3, 90, 6), dive(1, 4, 10, 7),
    };
    QList<QList<double>> table; // rank, diving order, total, dives judged
    for (const QJsonValue &entry : EventTally(dives).standings())
        table.append({entry["rank"].toDouble(), entry["DivingOrder"].toDouble(),
                      entry["total"].toDouble(), entry["divesJudged"].toDouble()});
    EXPECT_EQ(table,
              (QList<QList<double>>{{1, 1, 95, 2}, {1, 2, 95, 2}, {3, 3, 90, 2}, {4, 4, 10, 1}}));
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
        {"Postgres://kim@host/meets", true},
        {"postgresq://kim@host/meets", false},
        {"./postgresql://meet.sqlite", false},
    };
    for (const auto &[text, isUrl] : cases)
        EXPECT_EQ(isPostgresUrl(QLatin1String(text)), isUrl) << text;
    const auto journalOf = [](const char *database) {
        LiveServiceOptions options;
        options.database = QLatin1String(database);
        options.meetId = QStringLiteral("M1");
        return LiveService(options).journalPath();
    };
    EXPECT_EQ(journalOf("./postgresql://meet.sqlite"), "./postgresql://meet.sqlite.M1.journal");
    const QString server = journalOf("Postgres://kim@host/meets");
    EXPECT_TRUE(server.startsWith(u'/') && server.contains(QLatin1String("/kavvix/journal-")));
}

TEST(EventPlan, NextIsTheFirstPlannedDiveAfterTheLastJudgedOne) {
    QTemporaryDir dir;
    const QSqlDatabase db = meetFile(dir, QStringLiteral("next"), true);
    const std::tuple<QList<DiveRecord>, int, int> cases[] = {
        // judged; next round, order (0: none)
        {{}, 1, 1},
        {{dive(1, 3, 0, 2), dive(1, 1, 0, 3)}, 1, 4}, // a late correction does not go back
        {{dive(1, 12, 0, 1)}, 2, 1},
        {{dive(6, 12, 0, 1)}, 0, 0},
    };
    PreparedStatements statements(db);
    EventPlan plan;
    ASSERT_TRUE(plan.load(statements, QString(SampleMeet::MeetID), QStringLiteral("E12")));
    EXPECT_EQ(plan.plannedDives(), 72);
    EXPECT_EQ(plan.diverNumber(13), 0); // (the board shows 1 to 12)
    for (const auto &[judged, round, order] : cases) {
        const QJsonObject dive = plan.next(EventTally(judged).lastJudged()).toObject();
        EXPECT_EQ(dive["DiveRound"].toInt(), round);
        EXPECT_EQ(dive["DivingOrder"].toInt(), order);
    }
    // The dive sheets' "5231D" comes apart as the console sends it: number and position.
    const QJsonObject first = plan.next({}).toObject();
    EXPECT_EQ(first["DiveNumber"].toString(), "5231");
    EXPECT_EQ(first["DivePos"].toString(), "D");
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
    EXPECT_EQ(named(names.load(), 7), (QJsonObject{{"n", null}, {"t", null}}));    // blank
    EXPECT_EQ(named(names.load(), null), (QJsonObject{{"n", null}, {"t", null}})); // no RegID
    QSqlQuery(db).exec("DROP TABLE kavvix_divers");
    EXPECT_EQ(named(names.load(), 100), (QJsonObject{{"n", null}, {"t", null}}));
}

// The awards a page strikes through: only when the kept ones give the console's total.
TEST(JudgePanel, DiscardsByTheRuleOnlyWhenTheConsoleTotalAgrees) {
    // awards, DD, the console's total; the indices of the awards discarded
    const std::tuple<QList<double>, double, double, QList<int>> cases[] = {
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.0, {3, 4}},                 // 5: lowest and highest
        {{7.0, 7.0, 7.0, 7.0, 7.0}, 2.0, 42.0, {0, 4}},                 // ties: one of each
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.009, {3, 4}},               // within 0.01
        {{6.5, 7.0, 7.5, 6.0, 8.0}, 2.0, 42.02, {}},                    // beyond it
        {{8.0, 7.5, 7.0, 6.5, 6.0, 8.5, 9.0}, 3.0, 67.5, {3, 4, 5, 6}}, // 7: two at each end
        {{0, 0, 0, 0, 0}, 2.0, 0, {}},                                  // a failed dive
        {{6, 6, 6, 6, 6, 6, 6, 6, 6}, 3.0, 54.0, {}},                   // a synchronised panel
    };
    for (const auto &[awards, dd, total, discarded] : cases)
        EXPECT_EQ(JudgePanel::discarded(awards, dd, total), discarded) << total;
}

TEST(JudgePanel, IsWhoeverAwardedInTheEventElseAtTheMeetElseFive) {
    const auto withAwards = [](QList<double> awards) {
        DiveRecord record = dive(1, 1, 0, 1);
        for (int i = 0; i < awards.size(); ++i)
            record.fields[QStringLiteral("J%1Score").arg(i + 1)] = awards[i];
        return record;
    };
    // the event's dives, the positions that awarded at the meet; the panel
    const std::tuple<QList<DiveRecord>, QList<int>, QList<int>> cases[] = {
        {{withAwards({6, 6, 0, 6, 6, 6, 6}), withAwards({0, 0, 5})}, {}, {1, 2, 3, 4, 5, 6, 7}},
        {{withAwards({0, 0, 0, 0, 0, 0, 0})}, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}},
        {{}, {}, {1, 2, 3, 4, 5}},
    };
    for (const auto &[dives, meetPanel, panel] : cases)
        EXPECT_EQ(JudgePanel::panelOf(EventTally(dives).positionsAwarding(),
                                      [&meetPanel] { return meetPanel; }),
                  panel);
    for (const auto &[flag, set] : {std::pair{" ", false}, std::pair{"0", false},
                                    std::pair{"n", false}, std::pair{"Y", true}})
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

// The standings after a dive know each diver's place before it; the judged dive its own. (The
// progress and the next diver are read on the board.)
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

    dives.append(dive(1, 4, 60, 4)); // a new leader pushes everyone down one place
    summary = summaryAfter(dives);
    EXPECT_EQ(summary.judged["place"].toInt(), 1);
    // And each is up again after the rest of round 1 (orders 5 to 12) and those before them.
    QList<QList<int>> rows; // diving order, previous rank, next round, dives before it
    for (const QJsonValue &entry : summary.standings)
        rows.append({entry["DivingOrder"].toInt(), entry["previousRank"].toInt(),
                     entry["nextRound"].toInt(), entry["divesBefore"].toInt()});
    EXPECT_EQ(rows, (QList<QList<int>>{{4, 0, 2, 11}, {2, 1, 2, 9}, {3, 2, 2, 10}, {1, 3, 2, 8}}));
    dives.append(dive(2, 1, 100, 5)); // the last one climbs to the top
    summary = summaryAfter(dives);
    EXPECT_EQ(summary.judged["placeBefore"].toInt(), 4);
    EXPECT_EQ(summary.judged["place"].toInt(), 1);
    EXPECT_EQ(summary.progress["round"].toInt(), 2);
    EXPECT_EQ(eventState(72, 72), "finished"); // (not started and in progress: the meet page)
}

// A mirror's pages show one line for the meet's consoles: up only while every running one is,
// since the latest change of them all, with a version only when there is one console.
TEST(MirrorConsoles, OneLineForEveryRunningConsole) {
    const auto console = [](const char *name, bool running, bool open, const char *since) {
        return QJsonObject{{"name", name},
                           {"running", running},
                           {"open", open},
                           {"since", since},
                           {"version", "V1"}};
    };
    // Beside the 1 m console, up since 10:00, the 3 m one: the line as "open since version".
    const auto line = [&](bool running, bool open, const char *since) {
        MirrorConsoles consoles;
        consoles.reset({console("1m", true, true, "10:00"), console("3m", running, open, since)});
        const QJsonObject line = consoles.combined();
        return QStringLiteral("%1 %2 %3")
            .arg(line["open"].toBool() ? "up" : "down", line["since"].toString(),
                 line["version"].toString(QStringLiteral("none")));
    };
    EXPECT_EQ(line(true, true, "10:05"), "up 10:05 none");
    EXPECT_EQ(line(true, false, "09:30"), "down 09:30 V1");
    EXPECT_EQ(line(false, false, "09:00"), "up 10:00 V1"); // a stopped one does not count
    // (A console's message taking its line down on a mirror: Mirror.TwoConsoles... in MirrorTest.)
    EXPECT_FALSE(MirrorConsoles().combined()["open"].toBool()); // none running yet
}
