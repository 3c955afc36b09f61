#include "CliRunner.h"
#include "SimulatorProcess.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/SampleMeet.h>

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace KavvixTest;

namespace {

QString lastLine(const QString &text) {
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// One sample meet file for every test of this binary.
class CommandsCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        meetFile = folder->filePath(QStringLiteral("meet.sqlite"));
        const auto result = runCli({"sample-db", meetFile});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    }
    static void TearDownTestSuite() { delete folder; }

    static QStringList uploadArgs(const QStringList &extra = {}) {
        return QStringList{"upload", "--db",    meetFile, "--meet", "RIV26", "--event",
                           "E12",    "--order", "B",      "--port", "3"} +
               extra;
    }

    static inline QTemporaryDir *folder = nullptr;
    static inline QString meetFile;
};

TEST_F(CommandsCli, SampleDbListsTheEventsAndRefusesToOverwrite) {
    const auto again = runCli({"sample-db", meetFile});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("already exists"))) << again.err.toStdString();
    const auto fresh = runCli({"sample-db", folder->filePath(QStringLiteral("other.sqlite"))});
    EXPECT_EQ(fresh.exitCode, 0);
    EXPECT_TRUE(fresh.out.contains(QStringLiteral("E12    1m Springboard - Women")))
        << fresh.out.toStdString();
}

TEST_F(CommandsCli, UploadSendsEveryFrameAndEndsWithAllDataSent) {
    SimulatorProcess simulator({"--print-rows"});
    ASSERT_TRUE(simulator.started());
    const auto result = runCli(uploadArgs(), {}, 60000, simulator.environment());
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString() << result.err.toStdString();
    for (const char *line : {" Validating the event ...", " Event passed validation checks",
                             " Sending packet 1", " Sending packet 2", " Sending packet 3"})
        EXPECT_TRUE(result.out.contains(QLatin1String(line))) << line;
    EXPECT_TRUE(lastLine(result.out).endsWith(QStringLiteral(" All data has been sent")));
    const QString console = simulator.stop();
    EXPECT_EQ(console.count(QStringLiteral("command 302, ")), 3) << console.toStdString();
    EXPECT_TRUE(console.contains(QStringLiteral("Stopped after 3 frames received.")));
}

TEST_F(CommandsCli, UploadRejectedByTheConsoleFails) {
    SimulatorProcess simulator({"--reject", "2:02"});
    ASSERT_TRUE(simulator.started());
    const auto result = runCli(uploadArgs(), {}, 60000, simulator.environment());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(
        lastLine(result.out).endsWith(QStringLiteral(" Communications ERROR: Checksum Error")))
        << result.out.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("Sending packet 3")));
}

// The README's PostgreSQL route: the sample meet written through a URL, then uploaded from it.
TEST_F(CommandsCli, SampleDbAndUploadThroughAPostgreSqlUrl) {
    const QString host = qEnvironmentVariable("KAVVIX_TEST_PG_HOST");
    if (host.isEmpty()) {
        if (qEnvironmentVariable("KAVVIX_REQUIRE_PG") == QLatin1String("1"))
            FAIL() << "KAVVIX_TEST_PG_* not set and KAVVIX_REQUIRE_PG=1";
        GTEST_SKIP() << "no PostgreSQL cluster (eval \"$(scripts/pg-cluster.sh start)\")";
    }
    const QString dbname = QStringLiteral("kavvix_cli_%1").arg(QCoreApplication::applicationPid());
    const auto url = [&](const QString &name) {
        return QStringLiteral("postgresql://%1@%2:%3/%4")
            .arg(qEnvironmentVariable("KAVVIX_TEST_PG_USER"),
                 QString::fromLatin1(QUrl::toPercentEncoding(host)),
                 qEnvironmentVariable("KAVVIX_TEST_PG_PORT"), name);
    };
    const QSqlDatabase maintenance =
        Kavvix::openMeetDatabase(url(QStringLiteral("postgres")), QStringLiteral("admin"));
    const auto admin = [&](const QString &sql) {
        QSqlQuery query(maintenance);
        EXPECT_TRUE(query.exec(sql)) << query.lastError().text();
    };
    admin(QStringLiteral("CREATE DATABASE ") + dbname);
    const auto written = runCli({"sample-db", url(dbname)});
    EXPECT_EQ(written.exitCode, 0) << written.err;
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.started());
    const auto result =
        runCli({"upload", "--db", url(dbname), "--meet", "RIV26", "--event", "E10", "--port", "3"},
               {}, 60000, simulator.environment());
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(result.out.contains(QStringLiteral(" Sending packet 2\n")));
    admin(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(dbname));
}

TEST_F(CommandsCli, TestConnectionReportsTheConsoleVersion) {
    SimulatorProcess simulator({"--version", "Test Console 1.0"});
    ASSERT_TRUE(simulator.started());
    const auto result =
        runCli({"test-connection", "--port", "3"}, {}, 60000, simulator.environment());
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(
        result.out.contains(QStringLiteral(" assigning COM port settings: COM 3, 9600,e,8,1")));
    EXPECT_TRUE(
        lastLine(result.out).endsWith(QStringLiteral(" Connection Successful - Test Console 1.0")));
}

TEST_F(CommandsCli, MonitorPrintsJudgedDivesAsJsonAndStopsOnInterrupt) {
    SimulatorProcess simulator({"--send-dives", "2", "--dive-interval", "300"});
    ASSERT_TRUE(simulator.started());
    auto monitor = startCli({"monitor", "--port", "3", "--json"}, simulator.environment());
    ASSERT_TRUE(monitor->waitForStarted(10000));
    QString out;
    ASSERT_TRUE(waitForOutput(*monitor, out, QStringLiteral("\"DivingOrder\":2"), 30000))
        << out.toStdString();
    ::kill(pid_t(monitor->processId()), SIGINT);
    ASSERT_TRUE(monitor->waitForFinished(10000));
    EXPECT_EQ(monitor->exitCode(), 0);
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(first.value(QStringLiteral("event")).toString(), QStringLiteral("DiveResult"));
    EXPECT_EQ(first.value(QStringLiteral("DiveNumber")).toString().trimmed(),
              QStringLiteral("105"));
}

TEST_F(CommandsCli, DialogShowsTheMeetAndClosesOnInterrupt) {
    auto dialog = startCli({"dialog", "--db", meetFile, "--meet", "RIV26"});
    ASSERT_TRUE(dialog->waitForStarted(10000));
    QString err;
    QDeadlineTimer deadline(30000);
    while (!err.contains(QStringLiteral("close it or press Ctrl-C")) && !deadline.hasExpired() &&
           dialog->state() == QProcess::Running) {
        dialog->waitForReadyRead(200);
        err += QString::fromUtf8(dialog->readAllStandardError());
    }
    EXPECT_TRUE(err.contains(
        QStringLiteral("Upload dialog for meet RIV26 (Riverside Spring Invitational & Open)")))
        << err.toStdString();
    // The interrupt is read inside the dialog's own event loop, so it finds the dialog shown.
    ::kill(pid_t(dialog->processId()), SIGINT);
    ASSERT_TRUE(dialog->waitForFinished(30000));
    EXPECT_EQ(dialog->exitCode(), 0);
}

TEST_F(CommandsCli, DemoRunsEndToEnd) {
    const auto result = runCli({"demo", "--fast"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral(" Connection Successful - ")));
    EXPECT_TRUE(lastLine(result.out)
                    .startsWith(QStringLiteral("All data has been sent: 3 frames, 12 divers")))
        << result.out.toStdString();
}

struct BadInput {
    const char *name;
    QStringList args;
    int exitCode;
    const char *error;
};

class CommandsCliBadInput : public CommandsCli, public ::testing::WithParamInterface<BadInput> {};

TEST_P(CommandsCliBadInput, OneClearLineAndTheRightExitCode) {
    const BadInput &c = GetParam();
    QStringList args;
    for (const QString &arg : c.args)
        args << (arg == QLatin1String("@meet") ? meetFile : arg);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAVVIX_COM9"), QStringLiteral("/dev/kavvix-no-such-device"));
    const auto result = runCli(args, {}, 60000, env);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QLatin1String(c.error))) << result.err.toStdString();
    EXPECT_LE(result.err.count(QLatin1Char('\n')), 2) << result.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandsCliBadInput,
    ::testing::Values(
        BadInput{"UnknownMeet",
                 {"upload", "--db", "@meet", "--meet", "NOPE", "--event", "E12", "--port", "9"},
                 1,
                 "meet 'NOPE' is not in the database"},
        BadInput{"UnknownEvent",
                 {"upload", "--db", "@meet", "--meet", "RIV26", "--event", "E99", "--port", "9"},
                 1,
                 "event 'E99' is not an uploadable event of meet 'RIV26'"},
        BadInput{"UploadUnmappedPort",
                 {"upload", "--db", "@meet", "--meet", "RIV26", "--event", "E12", "--port", "9"},
                 1,
                 "COM 9 (/dev/kavvix-no-such-device) cannot be opened"},
        BadInput{"MissingDatabase",
                 {"upload", "--db", "/nonexistent/meet.sqlite", "--meet", "RIV26", "--event", "E12",
                  "--port", "9"},
                 1,
                 "/nonexistent/meet.sqlite"},
        BadInput{
            "MalformedUrl",
            {"upload", "--db", "postgresql://", "--meet", "RIV26", "--event", "E12", "--port", "9"},
            1,
            "kavvix upload: "},
        BadInput{"MissingMeetOption",
                 {"upload", "--db", "@meet", "--event", "E12", "--port", "3"},
                 2,
                 "--meet is required"},
        BadInput{"BadOrder",
                 {"upload", "--db", "@meet", "--meet", "RIV26", "--event", "E12", "--order", "Q",
                  "--port", "3"},
                 2,
                 "--order takes A, B, C or D"},
        BadInput{"PortOutOfRange",
                 {"test-connection", "--port", "40"},
                 2,
                 "--port takes a number from 1 to 16"},
        BadInput{"UnmappedPort",
                 {"test-connection", "--port", "9"},
                 1,
                 "COM 9 (/dev/kavvix-no-such-device) cannot be opened"},
        BadInput{"MonitorWithoutPort", {"monitor"}, 2, "--port N is required"},
        BadInput{"SimulateBadReject", {"simulate", "--reject", "x"}, 2, "--reject takes K:CODE"},
        BadInput{"DialogUnknownMeet",
                 {"dialog", "--db", "@meet", "--meet", "NOPE"},
                 1,
                 "meet 'NOPE' is not in the database"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CliHelp, EverySubcommandHasHelp) {
    for (const char *command : {"demo", "parse", "monitor", "simulate", "test-connection", "upload",
                                "dialog", "sample-db"}) {
        const auto result = runCli({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_TRUE(result.out.contains(QStringLiteral("Usage: kavvix ") + QLatin1String(command)))
            << result.out.toStdString();
    }
}

} // namespace
