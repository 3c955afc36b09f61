#include "../serial/PortEnvironment.h"
#include "RecordingUtility.h"
#include "SampleMeetSuite.h"
#include "upload/dialog/DakUploadSession.h"
#include "upload/dialog/frmDakUpload.h"
#include <kavvix/comPort.h>

#include <kavvix/PortTable.h>
#include <kavvix/modKavvix.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;
using Answer = ConsoleSimulator::Answer;
namespace SampleMeet = Kavvix::SampleMeet;

namespace {

constexpr int Bound = 10000; // ms: the longest any awaited condition may take
const QString MeetConnection = QStringLiteral("dialog-meet");
const QStringList Upload12Lines = {"Validating the event ...", "Event passed validation checks",
                                   "Sending packet 1",         "Sending packet 2",
                                   "Sending packet 3",         "All data has been sent"};

// The real dialog on the sample meet (in-memory SQLite), with a simulated console on port 3.
class UploadDialog : public SampleMeetSuite<MeetConnection> {
protected:
    // Every message box is closed as soon as it shows, its title and text noted in boxes.
    UploadDialog() {
        QObject::connect(&boxCloser, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() << box->text();
                box->close();
            }
        });
        boxCloser.start(10);
    }
    void SetUp() override { load(); }
    void TearDown() override {
        dialog.reset();
        env.reset();
        Kavvix::modKavvix::setDebugEnabled(false);
    }
    // A new dialog and console, the dialog loaded with the meet; only port 3 (the console) and
    // the given ports are mapped.
    void load(const QString &meetId = SampleMeet::MeetID, QMap<qint16, QString> ports = {}) {
        TearDown(); // the old environment's end unmaps every port
        sim = std::make_unique<ConsoleSimulator>();
        ports.insert(3, sim->slavePath());
        env = std::make_unique<PortEnvironment>(ports);
        dialog = std::make_unique<Kavvix::frmDakUpload>();
        ASSERT_TRUE(dialog->Form_Load(QSqlDatabase::database(MeetConnection), nullptr, meetId));
        dialog->show();
    }

    template <typename T> T *control(const char *name) const {
        T *c = dialog->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QTimer *tmrWait() const { return control<QTimer>("tmrWait"); }
    bool portOpen() const { return control<Kavvix::comPort>("comPort")->isOpen(); }
    void click(const char *button) { QTest::mouseClick(control<QWidget>(button), Qt::LeftButton); }

    // The texts of the message list, each line checked to begin with a time of day of the
    // last two minutes (the locale's long time format) and one blank.
    QStringList messages() const {
        const QTime now = QTime::currentTime();
        auto *list = control<QListWidget>("lstMsgs");
        QStringList out;
        for (int i = 0; i < list->count(); ++i) {
            const QString line = list->item(i)->text();
            QString time = Kavvix::DakUploadSession::MessageLine(now, QString());
            for (int s = 1; s <= 120 && !line.startsWith(time); ++s)
                time = Kavvix::DakUploadSession::MessageLine(now.addSecs(-s), QString());
            EXPECT_TRUE(line.startsWith(time)) << line;
            out << line.mid(time.size());
        }
        return out;
    }
    QString lastMessage() const { return messages().value(messages().size() - 1); }

    // Selects the event and dive order B and clicks the upload button; the upload may still run.
    void startUpload(const QString &event = SampleMeet::Event12Divers) {
        control<QListWidget>("lstEvents")->setCurrentRow(dialog->session().eventIndexOf(event));
        control<QComboBox>("cboDiveOrder")->setCurrentIndex(1);
        click("btnTransmit");
    }
    // Uploads the event through the controls, to its end.
    void upload(const QString &event = SampleMeet::Event12Divers) {
        startUpload(event);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->session().isBusy(), Bound);
    }
    void testConnection() {
        click("btnTest");
        QTRY_VERIFY_WITH_TIMEOUT(dialog->session().isIdle() && dialog->isEnabled(), Bound);
    }

    std::unique_ptr<ConsoleSimulator> sim;
    std::unique_ptr<PortEnvironment> env;
    std::unique_ptr<Kavvix::frmDakUpload> dialog;
    QTimer boxCloser;
    QStringList boxes;
};

} // namespace

// The event and dive order chosen in the controls reach the console; each line is timed. The
// meet name keeps its ampersand: no buddy turns "& " into a mnemonic.
TEST_F(UploadDialog, UploadOf12DiversThroughTheControls) {
    EXPECT_EQ(control<QLabel>("lblMeetName")->text(), SampleMeet::MeetName);
    EXPECT_EQ(control<QLabel>("lblMeetName")->buddy(), nullptr);
    upload();
    ASSERT_EQ(sim->frames().size(), 3);
    for (const QString &frame : sim->frames())
        EXPECT_EQ(frame.mid(10, 3), QStringLiteral("302")); // dive order B
    EXPECT_EQ(messages(), Upload12Lines);

    // The picture of a finished upload for the documentation.
    if (const QString dir = qEnvironmentVariable("KAVVIX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(dialog->grab().save(QDir(dir).filePath(QStringLiteral("upload-dialog.png"))));
    }
}

// The test button counts the wait's ticks while no answer comes, and is itself again after.
TEST_F(UploadDialog, TestButtonCountsTheWait) {
    auto *btnTest = control<QPushButton>("btnTest");
    sim->setDefaultAnswer(Answer::Silent);
    tmrWait()->setInterval(20);
    click("btnTest");
    QStringList captions{btnTest->text()};
    QObject::connect(tmrWait(), &QTimer::timeout, [&] {
        if (!dialog->session().isIdle()) // still waiting
            captions << btnTest->text();
    });
    QTRY_VERIFY_WITH_TIMEOUT(dialog->session().isIdle() && dialog->isEnabled(), Bound);
    EXPECT_EQ(captions << btnTest->text(),
              (QStringList{"Testing ...", "Testing ... 1", "Testing ... 2", "Testing ... 3",
                           "Testing ... 4", "Testing ... 5", "Test conn"}));
}

// Ports 3 and 5 are listed in that order; a test goes to the chosen one only, and with "Generate
// Log" checked every character of the reply is logged.
TEST_F(UploadDialog, TestOfTheChosenPortLogsEveryCharacterOfTheReply) {
    LogRecorder log; // before the dialog's load creates its log writer
    ConsoleSimulator sim5;
    sim5.setVersion(QStringLiteral("7"));
    load(SampleMeet::MeetID, {{5, sim5.slavePath()}});
    auto *ports = control<QComboBox>("cboCOMport");
    ASSERT_EQ(ports->count(), 2);
    ports->setCurrentIndex(1);
    click("chkDebug");
    ASSERT_TRUE(Kavvix::modKavvix::DebugEnabled());
    testConnection();
    EXPECT_EQ(messages().value(0), "assigning COM port settings: COM 5, 9600,e,8,1");
    // SYN, address, SOH, "200", EOT, checksum, ETB
    EXPECT_EQ(sim5.received(), QByteArray("\02610000000\001200\00418\027"));
    EXPECT_TRUE(sim->received().isEmpty());

    QList<LogEntry> lines = log.entries(); // the receiver's own entries have other numbers
    lines.removeIf([](const LogEntry &e) { return e.number != 1; });
    // The request's bytes leaving the port, then every character of the "100" reply, once.
    ASSERT_EQ(lines.size(), 1 + 57);
    EXPECT_EQ(lines.takeFirst(), (LogEntry{1, "comPort_OnComm", "comm send event", 0}));
    EXPECT_EQ(lines.front(),
              (LogEntry{1, "comPort_OnComm",
                        "com port input: char->\x16: Asc->22: Val->0: Hex->16:", 0}));
    EXPECT_EQ(lines.at(13).message, // the version text starts at position 14
              QStringLiteral("com port input: char->7: Asc->55: Val->7: Hex->37:"));
    EXPECT_EQ(lines.back().message, "com port input: char->\x17: Asc->23: Val->0: Hex->17:");

    click("chkDebug");
    ASSERT_FALSE(Kavvix::modKavvix::DebugEnabled());
    log.clear();
    testConnection();
    for (const LogEntry &entry : log.entries())
        EXPECT_TRUE(entry.number == 101 || entry.number == 102) << entry.number;
    EXPECT_EQ(messages().value(2), QStringLiteral("Connection Successful - 7"));
    EXPECT_EQ(control<QPushButton>("btnTest")->text(), "Test");
}

// Without an event selected, or with only the placeholder of a meet without events, the upload
// button writes one line and sends nothing.
TEST_F(UploadDialog, NothingIsSentWithoutAnEvent) {
    for (const QString meet : {"NO-SUCH-MEET", "RIV26"}) {
        SCOPED_TRACE(meet.toStdString());
        load(meet);
        auto *events = control<QListWidget>("lstEvents");
        if (meet != SampleMeet::MeetID) {
            EXPECT_EQ(events->item(0)->text(), "<No Events Found>");
            events->setCurrentRow(0);
        }
        click("btnTransmit");
        EXPECT_EQ(messages(), QStringList{"Unable to process - No event selected"});
        EXPECT_TRUE(sim->received().isEmpty());
    }
}

TEST_F(UploadDialog, PortDeviceGoneAfterLoad) {
    Kavvix::modKavvix::MapPort(3, QStringLiteral("/dev/kavvix-gone"));
    upload();
    EXPECT_EQ(boxes.value(0), "Problem Transmitting Data");
    EXPECT_TRUE(boxes.value(1).startsWith("An Unexpected error was encountered - "))
        << boxes.value(1);
    EXPECT_EQ(lastMessage(), "Process aborted");

    testConnection();
    EXPECT_TRUE(lastMessage().startsWith("UNEXPECTED ERROR: [12] ")) << lastMessage();
    EXPECT_EQ(control<QPushButton>("btnTest")->text(), "Testing ...");
    EXPECT_EQ(boxes.size(), 2);
    EXPECT_TRUE(sim->received().isEmpty());
}

TEST_F(UploadDialog, PortClosedBeforeAFrameEndsTheUpload) {
    auto *list = control<QListWidget>("lstMsgs");
    QObject::connect(
        list->model(), &QAbstractItemModel::rowsInserted, dialog.get(),
        [&] {
            if (list->item(list->count() - 1)->text().endsWith(QStringLiteral("Sending packet 2")))
                control<Kavvix::comPort>("comPort")->close();
        },
        Qt::DirectConnection);
    upload();
    EXPECT_EQ(sim->frames().size(), 1);
    EXPECT_EQ(lastMessage(), "COM port unavailable - unable to transmit packet 2");
    EXPECT_FALSE(tmrWait()->isActive());
}

TEST_F(UploadDialog, EventListFailureBoxCarriesTheFailuresNumber) {
    // The event list converts with a log writer of its own; this host's one fails on a value.
    struct FailingConversions : Kavvix::cUtility {
        void WriteLog(qint32, const QString &, const QString &, qint32) override {}
        QString ToText(const QVariant &) override { throw std::out_of_range("no such value"); }
    };
    int created = 0;
    Kavvix::setUtilityFactory([&] {
        ++created;
        return std::make_unique<FailingConversions>();
    });
    load();
    Kavvix::setUtilityFactory({});
    EXPECT_EQ(boxes.value(1), "Error filling list of events: 9[5]no such value");
    EXPECT_EQ(created, 2); // the dialog's, and the list's own
}

// While frame 1 awaits its answer, only Done abandons the upload (and closes the dialog); other
// actions add at most a line.
TEST_F(UploadDialog, OnlyDoneAbandonsARunningUpload) {
    const QStringList sending = Upload12Lines.mid(0, 3), rest = Upload12Lines.mid(3);
    // The action; the lines of the upload.
    const std::tuple<const char *, std::function<void()>, QStringList> cases[] = {
        {"Esc", [this] { QTest::keyClick(dialog.get(), Qt::Key_Escape); },
         sending + QStringList{"Upload in progress - press Done to abandon it"} + rest},
        {"test", [this] { click("btnTest"); },
         sending + QStringList{"Upload in progress - the connection test was not started"} + rest},
        {"upload again", [this] { click("btnTransmit"); }, Upload12Lines},
        {"Done", [this] { click("btnDone"); },
         sending + QStringList{"Process aborted - upload cancelled"}},
    };
    for (const auto &[name, action, lines] : cases) {
        SCOPED_TRACE(name);
        load();
        sim->setLineRate(9600); // answers take a while: the upload outlasts the action
        startUpload();
        ASSERT_TRUE(dialog->session().isBusy());
        action();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->session().isBusy(), Bound);
        EXPECT_EQ(messages(), lines);
        EXPECT_EQ(dialog->isVisible(), lines.size() > 4);
        EXPECT_LE(sim->frames().size(), 3); // no second upload
        EXPECT_FALSE(portOpen());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}
