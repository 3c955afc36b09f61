// The results table's revision rules, the journal's recovery from a record cut short, and the
// standings' ranking: the parts of the service that decide "exactly once"; and who dives next
// and under which name.
#include "service/DiveJournal.h"
#include "service/DiverNames.h"
#include "service/NextDive.h"
#include "service/ResultsTable.h"
#include "service/Standings.h"

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
    } cases[] = {
        {"new dive", {{10, 1, O::Inserted}}, 10, 1},
        {"identical repeat", {{10, 1, O::Inserted}, {10, 2, O::Unchanged}}, 10, 1},
        {"correction", {{10, 1, O::Inserted}, {12, 2, O::Revised}}, 12, 2},
        {"journal replayed after it was written",
         {{10, 1, O::Inserted}, {12, 2, O::Revised}, {10, 1, O::Unchanged}, {12, 2, O::Unchanged}},
         12,
         2},
        {"correction taken back",
         {{10, 1, O::Inserted}, {12, 2, O::Revised}, {10, 3, O::Revised}},
         10,
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
    }
}

TEST(ResultsTableRules, AFailedStoreChangesNothingAndSaysSo) {
    QTemporaryDir dir;
    QSqlDatabase db = meetFile(dir, QStringLiteral("closed"), false);
    ResultsTable table(db);
    ASSERT_TRUE(table.ensureTable());
    db.close();
    DiveRecord record = dive(1, 1, 5, 1);
    EXPECT_EQ(table.store(record), ResultsTable::Outcome::Failed);
    EXPECT_FALSE(table.lastError().isEmpty());
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

        DiveJournal reopened;
        ASSERT_TRUE(reopened.open(path));
        ASSERT_EQ(reopened.pending().size(), 2);
        EXPECT_EQ(reopened.pending()[1].divingOrder(), 2);
        EXPECT_EQ(reopened.droppedBytes(), keep - twoRecords);
        EXPECT_EQ(QFile(path).size(), twoRecords);
        // Appending after the cut gives whole records again.
        ASSERT_TRUE(reopened.append(dive(1, 4, 8, 4)));
        DiveJournal again;
        ASSERT_TRUE(again.open(path));
        EXPECT_EQ(again.pending().size(), 3);
        ASSERT_TRUE(again.clear());
        EXPECT_EQ(QFile(path).size(), 0);
    }
}

TEST(Standings, RanksByTheLatestTotalAndTiesShareARank) {
    const QList<DiveRecord> dives = {
        dive(1, 1, 40, 1), dive(1, 2, 50, 2), dive(1, 3, 45, 3), dive(2, 1, 95, 4),
        dive(2, 2, 95, 5), dive(2, 3, 90, 6), dive(1, 4, 10, 7),
    };
    const QJsonArray table = standings(dives);
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

TEST(NextDive, IsTheFirstPlannedDiveAfterTheLastJudgedOne) {
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
    NextDive next(db);
    for (const auto &c : cases) {
        const auto found = next.after(QString(SampleMeet::MeetID), QStringLiteral("E12"), c.judged);
        ASSERT_TRUE(found);
        const QJsonObject dive = found->toObject();
        EXPECT_EQ(dive["DiveRound"].toInt(), c.round);
        EXPECT_EQ(dive["DivingOrder"].toInt(), c.order);
    }
    // The dive sheets' "5231D" comes apart as the console sends it: number and position.
    const QJsonObject first = next.after(QString(SampleMeet::MeetID), "E12", {})->toObject();
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
