#include "CliRunner.h"
#include "CpuTime.h"
#include "TestData.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <unistd.h>

using namespace KavvixTest;

namespace {

const QByteArray coloradoRecord =
    "\x02x"
    "DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7x\x04";
const QString capture = testDataPath(QStringLiteral("allsport5000-j5-output.bin"));
// A record whose diver name carries a terminal colour sequence and a bell.
const QByteArray escapingRecord =
    "\x02xDi\x1b[31mver\x07,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7x\x04";

// One sample meet file and the configuration files of kavvix serve for every test.
class CommandsCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        meetFile = folder->filePath(QStringLiteral("meet.sqlite"));
        ASSERT_EQ(runCli({"sample-db", meetFile}).exitCode, 0);
        // Each with one thing wrong.
        for (const auto &[name, text] :
             {std::pair{"unknown.conf", "databse = meet.sqlite\n"},
              std::pair{"token.conf", "token = secret\n"},
              std::pair{"port.conf",
                        "database = /nonexistent.sqlite\nmeet = RIV26\nport = 40\n"}}) {
            QFile file(folder->filePath(QLatin1String(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
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
        // split at blanks; @meet is the sample meet file, @other a new one, @dir the folder of
        // the configuration files, @upload and @serve the commands on the sample meet; a first
        // @nodisplay runs the command without any display
        const char *args;
        int exitCode;
        const char *text;
        QByteArray input = {};
    } cases[] = {
        // Floats as the shortest text that reads back as the same float, in tables and JSON.
        {"parse colorado -", 0, "Judges 1-10 7.5 8 7 7.5 8 0 0", coloradoRecord},
        {"parse colorado --json", 0, "\"DiveDD\":2.4,", coloradoRecord},
        {"parse colorado", 1, "record 1: Not enough information received. Only 3 items",
         "\x02xA,1,2x\x04"},
        {"parse colorado", 0, "Di<x1B>[31mver<x07> (no. 12)", escapingRecord},
        {"parse colorado", 1,
         "record 1: skipped: more than 65536 characters before the next record",
         "\x02" + QByteArray(100000, 'x')},
        {"parse daktronics @capture", 0, "Valid          yes"},
        {"parse daktronics /nonexistent/x.bin", 1, "kavvix parse: cannot read /nonexistent/x.bin"},
        {"parse --bogus", 2, "Unknown option 'bogus'"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"@upload --event E12 --port 9 extra", 2, "unexpected argument 'extra'"},
        {"test-connection --device /dev/null", 1,
         "kavvix test-connection: /dev/null is not a serial device\n"},
        {"@upload --event E12 --port 9", 1,
         "kavvix upload: COM 9: /dev/kavvix-no-such-device does not exist: is the console's "
         "cable or USB serial adapter plugged in?\n"},
        {"@upload --event E99 --port 9", 1, "event 'E99' is not an uploadable event of meet"},
        // Help needs no window; the dialog itself says that there is no display.
        {"@nodisplay dialog --help", 0, "Usage: kavvix dialog"},
        {"@nodisplay dialog --db @meet --meet RIV26", 1,
         "kavvix dialog: no display to show the window on (set DISPLAY, or run with "
         "QT_QPA_PLATFORM=offscreen)\n"},
        {"@serve --mirror", 1, "a mirror needs a PostgreSQL meet database"},
        {"@serve --port 9 --listen 0.0.0.0:0", 1, "listening on 0.0.0.0 needs a token"},
        {"@serve --port 9 --listen 192.0.2.1:80 --token t", 1, "cannot listen on 192.0.2.1:80"},
        {"serve --config /nonexistent/kavvix.conf", 1,
         "kavvix serve: config /nonexistent/kavvix.conf: no such file"},
        {"serve --config @dir/unknown.conf", 1, "unknown setting 'databse'"},
        {"serve --config @dir/token.conf", 1, "the token goes in a file of its own"},
        {"serve --config @dir/port.conf", 2, "--port takes a number from 1 to 16, not '40'"},
        // The command line overrides the file.
        {"serve --config @dir/port.conf --port 9", 1, "/nonexistent.sqlite"},
        {"sample-db @meet", 1, "already exists"},
        {"sample-db @other", 0, "E12    1m Springboard - Women"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        QStringList arguments =
            QString::fromLatin1(c.args)
                .replace(QStringLiteral("@upload"), "upload --db @meet --meet RIV26")
                .replace(QStringLiteral("@serve"), "serve --db @meet --meet RIV26")
                .replace(QStringLiteral("@meet"), meetFile)
                .replace(QStringLiteral("@dir"), folder->path())
                .replace(QStringLiteral("@capture"), capture)
                .replace(QStringLiteral("@other"), folder->filePath("other.db"))
                .split(QLatin1Char(' '));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (arguments.first() == QLatin1String("@nodisplay")) {
            arguments.removeFirst();
            for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                env.remove(QLatin1String(name));
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
    const auto parse = startCli({"parse", "omega"});
    ASSERT_TRUE(parse->waitForFinished(10000)) << "still reading standard input";
    EXPECT_EQ(parse->exitCode(), 2);
    EXPECT_TRUE(parse->readAllStandardError().contains("unknown console 'omega'"));
}

// parse daktronics --json --each: one object a line for each score packet; and a failed write
// of them fails the command.
TEST_F(CommandsCli, ParseDaktronicsJsonIsOneObjectPerLine) {
    const auto result = runCli({"parse", "daktronics", "--json", "--each", capture});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 246);
    for (const QString &line : lines)
        ASSERT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject()) << line;

    QProcess parse;
    parse.setStandardOutputFile(QStringLiteral("/dev/full"));
    parse.start(QStringLiteral(KAVVIX_CLI_PATH),
                {"parse", "daktronics", "--json", "--each", capture});
    ASSERT_TRUE(parse.waitForFinished(60000));
    EXPECT_EQ(parse.exitCode(), 1);
    EXPECT_TRUE(parse.readAllStandardError().contains("kavvix parse: cannot write the output: "));
}

// An upload against the console: the dialog's lines on standard output, the last saying how it
// ended; on failure one line on standard error saying why, for an event that fails its checks
// who is at fault. A device is also taken by its name in /dev (@device).
TEST_F(CommandsCli, UploadEndsWithTheDialogsLastLine) {
    const struct {
        const char *args;
        int exitCode;
        const char *lastOut;
        const char *err;
    } cases[] = {
        {"--event E12 --device @device", 0, " All data has been sent", ""},
        {"--event EDD --port 3", 1, " >> Process Aborted <<",
         "kavvix upload: event EDD cannot be uploaded: DD zero or missing: diving order 3 "
         "(RegID 902) round 3\n"},
    };
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.started());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const QStringList arguments =
            QStringList{"upload", "--db", meetFile, "--meet", "RIV26", "--order", "B"} +
            QString::fromLatin1(c.args)
                .replace(QStringLiteral("@device"), simulator.device().mid(5))
                .split(QLatin1Char(' '));
        const auto result = runCli(arguments, {}, simulator.environment());
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.out.trimmed().endsWith(QLatin1String(c.lastOut))) << result.out;
        EXPECT_EQ(result.err, QLatin1String(c.err));
    }
}

// Besides a missing device (in the table above), the two ways a device that is there can be
// unusable, each named with what to do about it: held by another program (named), and not to
// be opened by this user (who is told to join the dialout group).
TEST_F(CommandsCli, DeviceErrorsSayWhatToDo) {
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.started());
    const QString device = simulator.device();
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
    ASSERT_TRUE(waitForOutput(*monitor, err, "Ctrl-C stops", QProcess::StandardError)) << err;
    EXPECT_EQ(testConnection({}),
              std::pair(1, QStringLiteral("kavvix test-connection: %1 is in use by kavvix (pid "
                                          "%2)\n")
                               .arg(device)
                               .arg(monitor->processId())));
    monitor->terminate();
    ASSERT_TRUE(monitor->waitForFinished(10000));

    // Nobody may open it now; root, who opens any device, tries as an unprivileged user.
    ASSERT_TRUE(QFile(device).setPermissions({}));
    QStringList asUser;
    if (::geteuid() == 0)
        asUser = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  "env",     "HOME=/tmp"};
    const auto [deniedCode, denied] = testConnection(asUser);
    EXPECT_EQ(deniedCode, 1);
    EXPECT_TRUE(denied.startsWith(
        QStringLiteral("kavvix test-connection: you may not open %1 (").arg(device)))
        << denied;
    EXPECT_TRUE(denied.endsWith(QStringLiteral(": join the dialout group (sudo usermod -aG "
                                               "dialout $USER, then log in again)\n")))
        << denied;
}

// kavvix monitor --json: each judged dive and each frame that failed its checks (with the
// check), one object a line; SIGINT ends it with 0.
TEST_F(CommandsCli, MonitorPrintsEachEventAsJsonAndStopsOnInterrupt) {
    // A console that answers the version request with a wrong checksum, then sends a dive.
    SimulatorProcess simulator({"--bad-checksum", "--send-dives", "1"});
    auto monitor = startCli({"monitor", "--port", "3", "--json", "--request-version"},
                            simulator.environment());
    QString out;
    ASSERT_TRUE(waitForOutput(*monitor, out, "FrameRejected") &&
                waitForOutput(*monitor, out, "DiveResult"))
        << out;
    ::kill(pid_t(monitor->processId()), SIGINT);
    ASSERT_TRUE(monitor->waitForFinished(10000));
    EXPECT_EQ(monitor->exitCode(), 0);
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject()) << line;
    EXPECT_TRUE(out.contains(R"({"check":"checksum","event":"FrameRejected",)")) << out;
}

TEST_F(CommandsCli, DialogShowsTheMeetAndClosesOnInterrupt) {
    auto dialog = startCli({"dialog", "--db", meetFile, "--meet", "RIV26"});
    QString err;
    EXPECT_TRUE(waitForOutput(*dialog, err,
                              "Upload dialog for meet RIV26 (Riverside Spring Invitational & "
                              "Open); close it or press Ctrl-C.",
                              QProcess::StandardError))
        << err;
    // The interrupt is read inside the dialog's own event loop, so it finds the dialog shown.
    ::kill(pid_t(dialog->processId()), SIGINT);
    ASSERT_TRUE(dialog->waitForFinished(30000));
    EXPECT_EQ(dialog->exitCode(), 0);
}

TEST_F(CommandsCli, DemoRunsEndToEnd) {
    const auto result = runCli({"demo", "--fast"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.contains("12 of 12 dives arrived")) << result.out;
}

// Ctrl-C (SIGINT) or SIGTERM in the middle of an upload or a connection test: the job is
// cancelled, the port closed, a last message line, exit 128 + the signal; the device works for
// the next command at once.
TEST_F(CommandsCli, UploadAndTestStopCleanlyOnSignals) {
    // The command, the line to wait for before the signal, the signal, the last line after it.
    const std::tuple<QStringList, QString, int, QString> cases[] = {
        {{"upload", "--db", meetFile, "--meet", "RIV26", "--event", "E25", "--port", "3"},
         "Sending packet 2",
         SIGINT,
         "Process aborted - upload cancelled"},
        {{"test-connection", "--port", "3"},
         "waiting for reply",
         SIGTERM,
         "Connection test cancelled"},
    };
    for (const auto &[arguments, waitFor, signal, last] : cases) {
        SCOPED_TRACE(arguments.first().toStdString());
        // A console that answers the test never and each frame at the line's own pace.
        SimulatorProcess simulator(arguments.front() == "upload" ? QStringList{"--line-rate"}
                                                                 : QStringList{"--silent"});
        auto process = startCli(arguments, simulator.environment());
        QString out;
        ASSERT_TRUE(waitForOutput(*process, out, waitFor)) << out;
        ::kill(pid_t(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(10000));
        out += QString::fromUtf8(process->readAllStandardOutput());
        EXPECT_EQ(process->exitCode(), 128 + signal);
        EXPECT_TRUE(out.trimmed().endsWith(last)) << out;
        EXPECT_EQ(QString::fromUtf8(process->readAllStandardError()),
                  "kavvix " + arguments.first() + ": stopped by " +
                      QString::fromLocal8Bit(::strsignal(signal)) + "; the port is closed\n");

        // The same device is usable again right away, whatever the killed command left on it.
        EXPECT_TRUE(
            arguments.first() != "upload" ||
            runCli({"test-connection", "--port", "3"}, {}, simulator.environment()).exitCode == 0);
    }
}

// Judged dives sent faster than anything reads them, with nothing attached to the line: all
// are sent, what does not fit is dropped with one note, the simulator idles afterwards, and
// a signal stops it at once.
TEST_F(CommandsCli, SimulateWithNobodyReadingTheLineNeitherHangsNorSpins) {
    auto simulator =
        startCli({"simulate", "--send-dives", "1000", "--dive-interval", "1", "--now"});
    QString out;
    ASSERT_TRUE(waitForOutput(*simulator, out, QStringLiteral("sent judged dive 1000\n")))
        << out.right(200);
    const qint64 pid = simulator->processId();
    const double before = cpuSeconds(pid);
    QThread::msleep(1000);
    EXPECT_LT(cpuSeconds(pid) - before, 0.2); // in 1 s

    ::kill(pid_t(pid), SIGTERM);
    ASSERT_TRUE(simulator->waitForFinished(5000));
    EXPECT_EQ(simulator->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator->exitCode(), 0);
    EXPECT_EQ(simulator->readAllStandardError().count("nobody is reading the line"), 1);
}

} // namespace
