#include "CliRunner.h"
#include "TestData.h"

#include <kavvix/PortTable.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace KavvixTest;

namespace {

QString lastLine(const QString &text) {
    return text.trimmed().section(QLatin1Char('\n'), -1);
}

const QByteArray coloradoRecord =
    "\x02x"
    "DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7x\x04";
const QString capture = testDataPath(QStringLiteral("allsport5000-j5-output.bin"));
// A record whose diver name carries a terminal colour sequence and a bell.
const QByteArray escapingRecord =
    "\x02xDi\x1b[31mver\x07,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7x\x04";

// The system environment without any display, as on a server.
QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    return env;
}

// One sample meet file for every test of this binary.
class CommandsCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        meetFile = folder->filePath(QStringLiteral("meet.sqlite"));
        const auto result = runCli({"sample-db", meetFile});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        QFile(folder->filePath(QStringLiteral("empty.sqlite"))).open(QIODevice::WriteOnly);
        // Configuration files of kavvix serve, each with one thing wrong.
        for (const auto &[name, text] :
             {std::pair{"unknown.conf", "databse = meet.sqlite\n"},
              std::pair{"token.conf", "token = secret\n"},
              std::pair{"port.conf", "database = /nonexistent.sqlite\nmeet = RIV26\nport = 40\n"},
              // as the installed template has them: settings commented out with '#'
              std::pair{"commented.conf",
                        "# the meet\n#database = /var/lib/kavvix/m.sqlite\nport = 40\n"},
              std::pair{"empty-token.conf", "token-file = @dir/empty-token\n"}}) {
            QFile file(folder->filePath(QLatin1String(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(text).replace("@dir", folder->path().toUtf8()));
        }
        QFile(folder->filePath(QStringLiteral("empty-token"))).open(QIODevice::WriteOnly);
    }
    static void TearDownTestSuite() { delete folder; }

    static inline QTemporaryDir *folder = nullptr;
    static inline QString meetFile;
};

// Each run gives its exit code, and the text on standard output (success) or standard error
// (failure: one line "kavvix <command>: why", plus at most a hint). No control character of
// the input reaches a terminal.
TEST_F(CommandsCli, ExitCodeAndOneClearLine) {
    const struct {
        // split at blanks; @meet is the sample meet file, @other a new one, @empty an empty
        // file, @blank the empty argument, @dir the folder of the configuration files; a first
        // @nodisplay runs the command without any display
        const char *args;
        int exitCode;
        const char *text;
        QByteArray input = {};
    } cases[] = {
        {"parse colorado -", 0, "DiverA / DiverB (no. 12)", coloradoRecord},
        {"parse colorado", 1, "record 1: Not enough information received. Only 3 items",
         "\x02xA,1,2x\x04"},
        {"parse colorado", 1, "no Colorado record found", "hello"},
        {"parse daktronics @capture", 0, "Valid          yes"},
        {"parse daktronics /nonexistent/file.bin", 1,
         "kavvix parse: cannot read /nonexistent/file.bin"},
        {"parse omega", 2, "unknown console 'omega'"},
        {"parse colorado --json", 0, "\"DiveDD\":2.4,", coloradoRecord},
        {"parse colorado", 0, "Di<x1B>[31mver<x07> (no. 12)", escapingRecord},
        {"parse colorado", 1, "record 1: the same message 999 more times, the last in record 1000",
         QByteArray(1000, '\x02')},
        {"parse colorado", 1,
         "record 1: skipped: more than 65536 characters before the next record",
         "\x02" + QByteArray(100000, 'x')},
        {"parse", 2, "expected: colorado|daktronics"},
        {"parse --bogus", 2, "Unknown option 'bogus'"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"--version", 0, "kavvix 1.6.0.0\n"},
        {"--help", 0, "--version"},
        {"simulate --help", 0, "(default: OmniSport 2000 Ver 3.12)"},
        {"upload --help", 0, "(default: A)"},
        {"serve --help", 0, "(default: 127.0.0.1:8470)"},
        {"upload --db @meet --meet RIV26 --event E12 --port 9 extra", 2,
         "unexpected argument 'extra'"},
        {"sample-db @other extra", 2, "unexpected argument 'extra'"},
        {"test-connection --device /dev/null", 1,
         "kavvix test-connection: /dev/null is not a serial device\n"},
        {"test-connection --device /dev/kavvix-no-such-device", 1,
         "kavvix test-connection: /dev/kavvix-no-such-device does not exist: is the console's "
         "cable or USB serial adapter plugged in?\n"},
        {"upload --db @meet --meet NOPE --event E12 --port 9", 1,
         "meet 'NOPE' is not in the database"},
        {"upload --db @meet --meet RIV26 --event E99 --port 9", 1,
         "event 'E99' is not an uploadable event of meet 'RIV26'"},
        {"upload --db @meet --meet RIV26 --event E12 --port 9", 1,
         "COM 9: /dev/kavvix-no-such-device does not exist"},
        {"upload --db @meet --meet RIV26 --event E12 --device @blank", 2,
         "--device takes a device path, not an empty text"},
        {"upload --db @meet --event E12 --port 3", 2, "--meet is required"},
        {"upload --db @meet --meet RIV26 --event E12 --order Q --port 3", 2,
         "--order takes A, B, C or D"},
        {"test-connection --port 40", 2, "--port takes a number from 1 to 16"},
        {"test-connection --port 9", 1, "COM 9: /dev/kavvix-no-such-device does not exist"},
        {"monitor", 2, "--port N is required"},
        {"monitor --device @blank", 2, "--device takes a device path, not an empty text"},
        {"monitor --port 9", 1, "kavvix monitor: COM 9: /dev/kavvix-no-such-device does not exist"},
        {"monitor --device /dev/null", 1, "kavvix monitor: /dev/null is not a serial device"},
        {"simulate --reject x", 2, "--reject takes K:CODE"},
        {"simulate --replay @capture --speed nan", 2, "--speed takes a number from 0 on"},
        {"simulate --replay @capture --speed inf", 2, "--speed takes a number from 0 on"},
        {"dialog --db @meet --meet NOPE", 1, "meet 'NOPE' is not in the database"},
        // Help and mistakes need no window; the dialog itself says that there is no display.
        {"@nodisplay dialog --help", 0, "Usage: kavvix dialog"},
        {"@nodisplay dialog --bogus", 2, "kavvix dialog: Unknown option 'bogus'"},
        {"@nodisplay dialog --db @meet --meet RIV26", 1,
         "kavvix dialog: no display to show the window on (set DISPLAY, or run with "
         "QT_QPA_PLATFORM=offscreen)\n"},
        // The service checks, in order: its token, the database, the journal, the address,
        // the recording, the console's line.
        {"serve --no-console --port 3 --db @meet --meet RIV26", 2,
         "--no-console takes no --port or --device"},
        {"serve --mirror --port 3 --db @meet --meet RIV26", 2,
         "--mirror takes no --port or --device"},
        {"serve --mirror --name 1m --db @meet --meet RIV26", 2,
         "--mirror takes no --name: a mirror has no console"},
        {"serve --mirror --db @meet --meet RIV26", 1, "a mirror needs a PostgreSQL meet database"},
        {"serve --db @meet --meet RIV26 --port 9 --listen 0.0.0.0:0", 1,
         "listening on 0.0.0.0 needs a token"},
        {"serve --db @empty --meet RIV26 --port 9", 1,
         "kavvix serve: database: Not a meet database: the table tblMeetInfo is missing"},
        {"serve --db @meet --meet RIV26 --event NOPE --port 9", 1,
         "meet RIV26 has no event 'NOPE'"},
        {"serve --db @meet --meet RIV26 --port 9 --listen 192.0.2.1:80 --token t", 1,
         "cannot listen on 192.0.2.1:80"},
        {"serve --db @meet --meet RIV26 --port 9 --listen 127.0.0.1:0 --record /dev/full", 1,
         "recording /dev/full: "},
        {"serve --db @meet --meet RIV26 --device /dev/kavvix-no-such-device --listen 127.0.0.1:0",
         1, "kavvix serve: /dev/kavvix-no-such-device does not exist"}, // as given, no number
        {"serve --config /nonexistent/kavvix.conf", 1,
         "kavvix serve: config /nonexistent/kavvix.conf: no such file"},
        {"serve --config @dir/unknown.conf", 1, "unknown setting 'databse'"},
        {"serve --config @dir/token.conf", 1, "the token goes in a file of its own"},
        {"serve --config @dir/port.conf", 2, "--port takes a number from 1 to 16, not '40'"},
        {"serve --config @dir/commented.conf", 2, "--port takes a number from 1 to 16, not '40'"},
        // The command line overrides the file: its port, then its database.
        {"serve --config @dir/port.conf --port 9", 1, "/nonexistent.sqlite"},
        {"serve --config @dir/port.conf --port 9 --db @meet --meet NOPE", 1,
         "meet 'NOPE' is not in"},
        {"serve --config @dir/empty-token.conf", 1, "empty-token is empty"},
        {"serve --db @meet --meet RIV26 --port 9 --token-file /nonexistent/token", 1,
         "token file /nonexistent/token: "},
        {"serve --db @meet --meet RIV26 --port 9 --listen 127.0.0.1:0 --log /nonexistent/x.log", 1,
         "log /nonexistent/x.log: "},
        {"sample-db @meet", 1, "already exists"},
        {"sample-db @other", 0, "E12    1m Springboard - Women"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const QString args =
            QString::fromLatin1(c.args)
                .replace(QStringLiteral("@meet"), meetFile)
                .replace(QStringLiteral("@dir"), folder->path())
                .replace(QStringLiteral("@capture"), capture)
                .replace(QStringLiteral("@other"), folder->filePath("other.db"))
                .replace(QStringLiteral("@empty"), folder->filePath("empty.sqlite"));
        QStringList arguments = args.split(QLatin1Char(' '));
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@blank$")), QString());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (arguments.first() == QLatin1String("@nodisplay")) {
            arguments.removeFirst();
            env = withoutDisplay();
        }
        env.insert(QStringLiteral("KAVVIX_COM9"), QStringLiteral("/dev/kavvix-no-such-device"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder->path()); // or Qt warns of it
        const auto result = runCli(arguments, c.input, env);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        const QString &shown = c.exitCode == 0 ? result.out : result.err;
        // (help wraps its lines)
        EXPECT_TRUE(shown.contains(QLatin1String(c.text)) ||
                    shown.simplified().contains(QLatin1String(c.text)))
            << shown;
        EXPECT_LE(result.err.count(QLatin1Char('\n')), 2) << result.err;
        if (c.exitCode == 1 && arguments.first() != QLatin1String("parse")) {
            EXPECT_TRUE(result.err.startsWith("kavvix " + arguments.first() + ": ")) << result.err;
            EXPECT_EQ(result.err.count(QLatin1Char('\n')), 1) << result.err;
        }
        for (QChar ch : result.out)
            EXPECT_TRUE(ch == QLatin1Char('\n') || ch >= QLatin1Char(' ')) << int(ch.unicode());
    }
}

// A wrong console name is refused at once, while standard input is still open.
TEST_F(CommandsCli, ParseRefusesAnUnknownConsoleBeforeReadingInput) {
    auto parse = startCli({"parse", "foo"});
    ASSERT_TRUE(parse->waitForStarted(10000));
    EXPECT_TRUE(parse->waitForFinished(10000)) << "still reading standard input";
    EXPECT_EQ(parse->exitCode(), 2);
    parse->kill();
    parse->waitForFinished();
}

TEST_F(CommandsCli, OutputThatCannotBeWrittenFails) {
    QProcess parse;
    parse.setStandardOutputFile(QStringLiteral("/dev/full"));
    parse.start(QStringLiteral(KAVVIX_CLI_PATH), {"parse", "daktronics", "--each", capture});
    ASSERT_TRUE(parse.waitForFinished(60000));
    EXPECT_EQ(parse.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(parse.readAllStandardError())
                    .contains(QStringLiteral("kavvix parse: cannot write the output: ")));
}

TEST_F(CommandsCli, ParseDaktronicsJsonIsOneObjectPerLine) {
    const auto result = runCli({"parse", "daktronics", "--json", "--each", capture});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 246);
    for (const QString &line : lines)
        ASSERT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject()) << line;
}

// Against a console: the dialog's lines on standard output, the last saying how it ended; on
// failure one line on standard error saying why, for an event that fails its checks who is at
// fault. A device is also taken by its name in /dev (@device).
TEST_F(CommandsCli, ConsoleCommandsEndWithTheDialogsLastLine) {
    const struct {
        QStringList simulatorOptions;
        const char *args;
        int exitCode;
        const char *lastOut;
        const char *err;
    } cases[] = {
        {{"--print-rows"}, "upload --event E12 --device @device", 0, " All data has been sent", ""},
        {{"--reject", "2:02"},
         "upload --event E12 --port 3",
         1,
         " Communications ERROR: Checksum Error",
         "kavvix upload: the console on COM 3 answered with an error: Checksum Error\n"},
        {{},
         "upload --event EDD --port 3",
         1,
         " >> Process Aborted <<",
         "kavvix upload: event EDD cannot be uploaded: DD zero or missing: diving order 3 "
         "(RegID 902) round 3\n"},
        {{"--version", "Test Console 1.0"},
         "test-connection --port 3",
         0,
         " Connection Successful - Test Console 1.0",
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        SimulatorProcess simulator(c.simulatorOptions);
        ASSERT_TRUE(simulator.started());
        const QString device = simulator.environment().value(QStringLiteral("KAVVIX_COM3"));
        QStringList arguments = QString::fromLatin1(c.args)
                                    .replace(QStringLiteral("@device"), device.mid(5))
                                    .split(QLatin1Char(' '));
        if (arguments.first() == QLatin1String("upload"))
            arguments << "--db" << meetFile << "--meet"
                      << "RIV26"
                      << "--order"
                      << "B";
        const auto result = runCli(arguments, {}, simulator.environment());
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(lastLine(result.out).endsWith(QLatin1String(c.lastOut))) << result.out;
        EXPECT_EQ(result.err, QLatin1String(c.err));
        if (c.exitCode == 0 && arguments.first() == QLatin1String("upload")) {
            const QString console = simulator.stop();
            EXPECT_EQ(console.count(QStringLiteral("command 302, ")), 3) << console;
            EXPECT_TRUE(console.contains(QStringLiteral("Stopped after 3 frames received.")));
        } else if (c.exitCode != 0) {
            EXPECT_FALSE(result.out.contains(QStringLiteral("Sending packet 3")));
        }
    }
}

// Besides a missing device (in the table above), the two ways a device that is there can be
// unusable, each named with what to do about it: held by another program (named), and not to
// be opened by this user (who is told to join the dialout group). The last runs as an
// unprivileged user when the tests run as root.
TEST_F(CommandsCli, DeviceErrorsSayWhatToDo) {
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.started());
    const QString device = simulator.environment().value(QStringLiteral("KAVVIX_COM3"));
    // The connection test on the device, run through the given command (setpriv ...).
    const auto testConnection = [&](QStringList command) {
        command << KAVVIX_CLI_PATH << "test-connection"
                << "--device" << device;
        QProcess process;
        process.start(command.takeFirst(), command);
        process.waitForFinished(30000);
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };

    auto monitor = startCli({"monitor", "--device", device});
    QString err;
    ASSERT_TRUE(
        waitForOutput(*monitor, err, QStringLiteral("Ctrl-C stops"), QProcess::StandardError))
        << err;
    const auto [inUseCode, inUse] = testConnection({});
    EXPECT_EQ(inUseCode, 1);
    EXPECT_EQ(inUse, QStringLiteral("kavvix test-connection: %1 is in use by kavvix (pid %2)\n")
                         .arg(device)
                         .arg(monitor->processId()));
    monitor->terminate();
    ASSERT_TRUE(monitor->waitForFinished(10000));

    QStringList asUser;
    QFile pty(device);
    if (::geteuid() == 0) {
        // root opens any device: the device becomes root's alone, and nobody tries.
        if (QProcess::execute(QStringLiteral("setpriv"),
                              {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "true"}) != 0)
            GTEST_SKIP() << "no unprivileged user to run as (setpriv --reuid=nobody failed)";
        ASSERT_EQ(::chown(QFile::encodeName(device).constData(), 0, 0), 0);
        asUser = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  "env",     "HOME=/tmp"};
        ASSERT_TRUE(pty.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    } else {
        ASSERT_TRUE(pty.setPermissions({})); // not even its owner may open it now
    }
    const auto [deniedCode, denied] = testConnection(asUser);
    EXPECT_EQ(deniedCode, 1);
    EXPECT_TRUE(denied.startsWith(
        QStringLiteral("kavvix test-connection: you may not open %1 (").arg(device)))
        << denied;
    EXPECT_TRUE(denied.endsWith(QStringLiteral(": join the dialout group (sudo usermod -aG "
                                               "dialout $USER, then log in again)\n")))
        << denied;
}

// kavvix monitor --json: the console's version first, then each judged dive and each frame that
// failed its checks (with the check and the frame), one object a line; SIGINT ends it with 0.
TEST_F(CommandsCli, MonitorPrintsEachEventAsJsonAndStopsOnInterrupt) {
    Kavvix::ConsoleSimulator console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(Kavvix::modKavvix::PortVariable(3), console.slavePath());
    auto monitor = startCli({"monitor", "--port", "3", "--json", "--request-version"}, env);
    QString out;
    const auto printed = [&](const QString &text) {
        return QTest::qWaitFor(
            [&] {
                out += QString::fromUtf8(monitor->readAllStandardOutput());
                return out.contains(text);
            },
            30000);
    };
    ASSERT_TRUE(printed(QStringLiteral("SoftwareVersion"))) << out;
    Kavvix::cDiveResult dive;
    dive.setDiveNumber(QStringLiteral("105"));
    console.sendDiveResult(dive);
    QByteArray frame = Kavvix::ConsoleSimulator::diveResultFrame(Kavvix::cDiveResult()).toLatin1();
    frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
    console.sendRaw(frame);
    ASSERT_TRUE(printed(QStringLiteral("FrameRejected"))) << out;
    ::kill(pid_t(monitor->processId()), SIGINT);
    ASSERT_TRUE(monitor->waitForFinished(10000));
    EXPECT_EQ(monitor->exitCode(), 0);
    QList<QJsonObject> lines;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << QJsonDocument::fromJson(line.toUtf8()).object();
    ASSERT_EQ(lines.size(), 3) << out;
    EXPECT_EQ(lines[0]["event"].toString(), QStringLiteral("SoftwareVersion"));
    EXPECT_EQ(lines[1]["event"].toString(), QStringLiteral("DiveResult"));
    EXPECT_EQ(lines[1]["DiveNumber"].toString().trimmed(), QStringLiteral("105"));
    EXPECT_EQ(lines[2]["check"].toString(), QStringLiteral("checksum"));
    EXPECT_EQ(lines[2]["frame"].toString().toLatin1(), frame);
}

TEST_F(CommandsCli, DialogShowsTheMeetAndClosesOnInterrupt) {
    auto dialog = startCli({"dialog", "--db", meetFile, "--meet", "RIV26"});
    QString err;
    waitForOutput(*dialog, err, QStringLiteral("close it or press Ctrl-C"),
                  QProcess::StandardError);
    EXPECT_TRUE(err.contains(
        QStringLiteral("Upload dialog for meet RIV26 (Riverside Spring Invitational & Open)")))
        << err;
    // The interrupt is read inside the dialog's own event loop, so it finds the dialog shown.
    ::kill(pid_t(dialog->processId()), SIGINT);
    ASSERT_TRUE(dialog->waitForFinished(30000));
    EXPECT_EQ(dialog->exitCode(), 0);
}

TEST_F(CommandsCli, DemoRunsEndToEnd) {
    const auto result = runCli({"demo", "--fast"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.contains(QStringLiteral(" Connection Successful - ")));
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("\nAll data has been sent: 3 frames, 12 divers")))
        << result.out;
    EXPECT_TRUE(result.out.contains(QStringLiteral("12 of 12 dives arrived")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("table kavvix_dive_results of ")));
}

} // namespace
