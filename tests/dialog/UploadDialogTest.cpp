#include "../serial/PortEnvironment.h"
#include "RecordingUtility.h"
#include "serial/ConsoleSimulator.h"
#include "upload/DiveSheetPackets.h"
#include "upload/dialog/DakUploadSession.h"
#include "upload/dialog/frmDakUpload.h"
#include <kavvix/comPort.h>

#include <kavvix/MeetDatabase.h>
#include <kavvix/SampleMeet.h>
#include <kavvix/modKavvix.h>

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;
using Answer = ConsoleSimulator::Answer;
namespace SampleMeet = Kavvix::SampleMeet;

namespace {

constexpr int Bound = 10000; // ms: the longest any awaited condition may take
const QString MeetConnection = QStringLiteral("dialog-meet");
const QString Timeout = QStringLiteral("No response received from the OmniSport timer");
const QString LineLost = QStringLiteral("Communications ERROR: the serial line was lost");

// The real dialog on the sample meet (in-memory SQLite), with a simulated console on port 3,
// the only port listed.
class UploadDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), MeetConnection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(db.open());
        SampleMeet::write(db);
    }
    static void TearDownTestSuite() { QSqlDatabase::removeDatabase(MeetConnection); }
    void SetUp() override {
        sim = std::make_unique<ConsoleSimulator>();
        env = std::make_unique<PortEnvironment>(QMap<qint16, QString>{{3, sim->slavePath()}});
        dialog = std::make_unique<Kavvix::frmDakUpload>();
        ASSERT_TRUE(
            dialog->Form_Load(QSqlDatabase::database(MeetConnection), nullptr, SampleMeet::MeetID));
        dialog->show();
    }
    void TearDown() override {
        dialog.reset();
        env.reset();
        sim.reset();
        Kavvix::modKavvix::setDebugEnabled(false);
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

    // Uploads the 12-diver event with dive order B, through the controls, to its end.
    void upload12() {
        auto *events = control<QListWidget>("lstEvents");
        QListWidgetItem *item =
            events->item(dialog->session().eventIndexOf(SampleMeet::Event12Divers));
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(events->viewport(), Qt::LeftButton, {},
                          events->visualItemRect(item).center());
        control<QComboBox>("cboDiveOrder")->setCurrentIndex(1);
        click("btnTransmit");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->session().isBusy(), Bound);
    }
    void testConnection() {
        click("btnTest");
        QTRY_VERIFY_WITH_TIMEOUT(dialog->session().isIdle() && dialog->isEnabled(), Bound);
    }

    std::unique_ptr<ConsoleSimulator> sim;
    std::unique_ptr<PortEnvironment> env;
    std::unique_ptr<Kavvix::frmDakUpload> dialog;
};

} // namespace

TEST_F(UploadDialog, UploadOf12DiversSendsEachFrameAfterTheLastWasAcknowledged) {
    // How many answers the console had given when the dialog announced each frame.
    QList<int> answersAtSend;
    int answers = 0;
    QObject::connect(sim.get(), &ConsoleSimulator::answered, [&] { ++answers; });
    auto *list = control<QListWidget>("lstMsgs");
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (list->item(list->count() - 1)->text().contains(QStringLiteral("Sending packet")))
            answersAtSend << answers;
    });
    upload12();

    Kavvix::DiveSheetPackets expected; // built here as the upload builds them
    const QSqlDatabase db = QSqlDatabase::database(MeetConnection);
    const QString event = SampleMeet::Event12Divers;
    expected.InitDiverRows(Kavvix::modKavvix::GetLastDiver(SampleMeet::MeetID, event, db));
    expected.BuildDiverRows(Kavvix::modKavvix::GetDiveSheets(SampleMeet::MeetID, event, db).get());
    expected.BuildPackets(QStringLiteral("302"));
    EXPECT_EQ(sim->frames(), expected.Packets().mid(0, 3));
    EXPECT_EQ(sim->received(), expected.Packets().join(QString()).toLatin1());
    EXPECT_EQ(answersAtSend, (QList<int>{0, 1, 2}));
    EXPECT_EQ(messages(), (QStringList{"Validating the event ...", "Event passed validation checks",
                                       "Sending packet 1", "Sending packet 2", "Sending packet 3",
                                       "All data has been sent"}));
    EXPECT_FALSE(portOpen());
    EXPECT_FALSE(tmrWait()->isActive());

    // The picture of a finished upload for the documentation.
    if (const QString dir = qEnvironmentVariable("KAVVIX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(dialog->grab().save(QDir(dir).filePath(QStringLiteral("upload-dialog.png"))));
    }
}

TEST_F(UploadDialog, UploadEndsAsTheConsoleAnswers) {
    // After which frame the console answers how; the frames sent and the last message.
    const std::tuple<int, Answer, const char *, int, QString> cases[] = {
        {2, Answer::Reject, "02", 2, "Communications ERROR: Checksum Error"},
        {1, Answer::AckThen07, "", 3, "All data has been sent"},
        {1, Answer::Silent, "", 1, Timeout},
        {2, Answer::HangUp, "", 2, LineLost}, // at once, not after the wait
    };
    for (const auto &[frame, answer, code, framesSent, last] : cases) {
        SCOPED_TRACE(last.toStdString() + " after frame " + std::to_string(frame));
        TearDown();
        SetUp();
        sim->planAnswer(frame, answer, QLatin1String(code));
        QSignalSpy ticks(tmrWait(), &QTimer::timeout);
        if (last == Timeout)
            tmrWait()->setInterval(20);
        upload12();

        EXPECT_EQ(sim->frames().size(), framesSent);
        EXPECT_EQ(messages().mid(messages().size() - 2),
                  (QStringList{QStringLiteral("Sending packet %1").arg(framesSent), last}));
        EXPECT_FALSE(portOpen());
        EXPECT_FALSE(tmrWait()->isActive());
        if (last == Timeout) {
            EXPECT_EQ(ticks.count(), 7);
        }
        if (last == LineLost) {
            EXPECT_EQ(ticks.count(), 0);
        }
    }
}

TEST_F(UploadDialog, ConnectionTestOutcomes) {
    const QString version = QStringLiteral("OmniSport 2000 Ver 4.07");
    const QStringList countUp = {"Testing ...",   "Testing ... 1", "Testing ... 2", "Testing ... 3",
                                 "Testing ... 4", "Testing ... 5", "Test conn"};
    // The answer; the last message; the button's captions on sending, after each tick, and with
    // the last message.
    const std::tuple<Answer, const char *, QString, QStringList> cases[] = {
        {Answer::Normal, "", "Connection Successful - " + version, {"Testing ...", "Test"}},
        {Answer::Reject, "02", "Communications ERROR: Checksum Error", {"Testing ...", "Test"}},
        {Answer::Silent, "", "No response from OmniSport - Please check your connections", countUp},
    };
    auto *btnTest = control<QPushButton>("btnTest");
    auto *list = control<QListWidget>("lstMsgs");
    for (const auto &[answer, code, last, expectedCaptions] : cases) {
        SCOPED_TRACE(last.toStdString());
        sim->setVersion(version);
        sim->setDefaultAnswer(answer, QLatin1String(code));
        const qsizetype sentBefore = sim->received().size();
        // An answered test sees no tick: its wait outlasts the bound of testConnection().
        tmrWait()->setInterval(answer == Answer::Silent ? 20 : 60000);
        QStringList captions;
        QObject scope; // ends the connections with the case
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &scope, [&] {
            if (list->count() > 1) // the request has gone out
                captions << btnTest->text();
        });
        QObject::connect(tmrWait(), &QTimer::timeout, &scope, [&] {
            if (list->count() == 2) // still waiting
                captions << btnTest->text();
        });
        testConnection();

        EXPECT_EQ(messages(),
                  (QStringList{"assigning COM port settings: COM 3, 9600,e,8,1",
                               "Message sent to OmniSport, waiting for reply ...", last}));
        // The version request: SYN, address, SOH, "200", EOT, checksum, ETB.
        EXPECT_EQ(sim->received().mid(sentBefore), QByteArray("\02610000000\001200\00418\027"));
        EXPECT_EQ(captions, expectedCaptions);
        EXPECT_FALSE(portOpen());
        EXPECT_FALSE(tmrWait()->isActive());
    }
}

TEST_F(UploadDialog, GenerateLogRecordsEveryCharacterOfATestReply) {
    LogRecorder log; // before the dialog's load creates its log writer
    TearDown();
    SetUp();
    sim->setVersion(QStringLiteral("7"));
    click("chkDebug");
    ASSERT_TRUE(Kavvix::modKavvix::DebugEnabled());
    testConnection();

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
    for (qint32 number : log.numbers())
        EXPECT_TRUE(number == 101 || number == 102) << number;
    EXPECT_EQ(messages().value(2), QStringLiteral("Connection Successful - 7"));
}
