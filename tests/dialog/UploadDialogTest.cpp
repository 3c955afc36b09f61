#include "DialogCloser.h"
#include "DialogFixture.h"
#include "RecordingUtility.h"
#include "serial/comPort.h"
#include "upload/DiveSheetPackets.h"
#include "upload/dialog/DakUploadSession.h"
#include "upload/dialog/frmDakUpload.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/kavvix.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;
using Answer = ConsoleSimulator::Answer;
namespace SampleMeet = Kavvix::SampleMeet;

namespace {

constexpr int Bound = 10000; // ms: the longest any awaited condition may take

// The non-empty frames of an event as the dive sheet packets build them.
QStringList framesOf(const QSqlDatabase &db, const QString &eventID, const QString &command) {
    Kavvix::DiveSheetPackets packets;
    packets.InitDiverRows(Kavvix::modKavvix::GetLastDiver(SampleMeet::MeetID, eventID, db));
    const auto rs = Kavvix::modKavvix::GetDiveSheets(SampleMeet::MeetID, eventID, db);
    packets.BuildDiverRows(rs.get());
    packets.BuildPackets(command);
    QStringList frames;
    for (const QString &frame : packets.Packets())
        if (!frame.isEmpty())
            frames << frame;
    return frames;
}

class UploadDialog : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override { stop(); }

    // A fresh console, meet and dialog.
    void start() {
        line = std::make_unique<ConsoleOnPort3>();
        dialog = std::make_unique<Kavvix::frmDakUpload>();
        ASSERT_TRUE(dialog->Form_Load(line->meet.db(), nullptr, SampleMeet::MeetID));
        dialog->show();
    }
    void stop() {
        dialog.reset();
        line.reset();
        Kavvix::modKavvix::setDebugEnabled(false);
    }

    template <typename T> T *control(const char *name) const {
        T *c = dialog->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QTimer *tmrWait() const { return control<QTimer>("tmrWait"); }
    Kavvix::comPort *port() const { return control<Kavvix::comPort>("comPort"); }

    QStringList messages() const {
        QStringList lines;
        auto *list = control<QListWidget>("lstMsgs");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return texts(lines);
    }
    QString lastMessage() const { return messages().value(messages().size() - 1); }
    void click(const char *button) { QTest::mouseClick(control<QWidget>(button), Qt::LeftButton); }
    void selectEvent(const QString &eventID) {
        auto *list = control<QListWidget>("lstEvents");
        QListWidgetItem *item = list->item(dialog->session().eventIndexOf(eventID));
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        ASSERT_TRUE(item->isSelected());
    }
    // Uploads the 12-diver event with dive order B and waits for the upload to end.
    void upload12() {
        selectEvent(SampleMeet::Event12Divers);
        control<QComboBox>("cboDiveOrder")->setCurrentIndex(1);
        click("btnTransmit");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->session().isBusy(), Bound);
    }
    // Runs a connection test and waits until it has ended.
    void testConnection() {
        click("btnTest");
        QTRY_VERIFY_WITH_TIMEOUT(dialog->session().isIdle() && dialog->isEnabled(), Bound);
    }

    std::unique_ptr<ConsoleOnPort3> line;
    std::unique_ptr<Kavvix::frmDakUpload> dialog;
};

} // namespace

TEST_F(UploadDialog, LoadsMeetDiveOrdersAndPorts) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Upload To Daktronics OmniSport 2000"));
    EXPECT_EQ(control<QLabel>("lblMeetName")->text(), QString(SampleMeet::MeetName)); // "&" kept
    EXPECT_EQ(control<QListWidget>("lstEvents")->item(0)->data(Qt::UserRole).toInt(), 0);
    auto *orders = control<QComboBox>("cboDiveOrder");
    ASSERT_EQ(orders->count(), 4);
    EXPECT_EQ(orders->itemText(3), QStringLiteral("D"));
    EXPECT_EQ(orders->itemData(3).toInt(), 304);
    // Only port 3 exists: port 1 is not listed, so the first entry is chosen.
    auto *ports = control<QComboBox>("cboCOMport");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), QStringLiteral("COM 3"));
    EXPECT_EQ(dialog->session().CommPort(), 3);
    EXPECT_EQ(tmrWait()->interval(), 1000);

    click("btnTransmit"); // no event selected
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Unable to process - No event selected")});
    EXPECT_TRUE(line->sim.received().isEmpty());
}

TEST_F(UploadDialog, UploadOf12DiversSendsEachFrameAfterTheLastWasAcknowledged) {
    // How many answers the console had given when the dialog announced each frame.
    QList<int> answersAtSend;
    int answers = 0;
    QObject::connect(&line->sim, &ConsoleSimulator::answered, [&] { ++answers; });
    auto *list = control<QListWidget>("lstMsgs");
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (list->item(list->count() - 1)->text().contains(QStringLiteral("Sending packet")))
            answersAtSend << answers;
    });
    upload12();

    const QStringList expected = framesOf(line->meet.db(), SampleMeet::Event12Divers, "302");
    ASSERT_EQ(expected.size(), 3);
    EXPECT_EQ(line->sim.frames(), expected);
    EXPECT_EQ(answersAtSend, (QList<int>{0, 1, 2}));
    const QStringList shown = messages();
    ASSERT_GE(shown.size(), 4);
    EXPECT_EQ(shown.mid(shown.size() - 4),
              (QStringList{"Sending packet 1", "Sending packet 2", "Sending packet 3",
                           "All data has been sent"}));
    EXPECT_FALSE(port()->isOpen());
    EXPECT_FALSE(tmrWait()->isActive());

    // The picture of a finished upload for the documentation.
    if (const QString dir = qEnvironmentVariable("KAVVIX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(dialog->grab().save(QDir(dir).filePath(QStringLiteral("upload-dialog.png"))));
    }
}

TEST_F(UploadDialog, UploadEndsAsTheConsoleAnswers) {
    const QString timeout = QStringLiteral("No response received from the OmniSport timer");
    const struct {
        const char *name;
        int frame;
        Answer answer;
        const char *code;
        int framesSent;
        QString last;
    } cases[] = {
        {"rejected", 2, Answer::Reject, "02", 2, "Communications ERROR: Checksum Error"},
        {"00 then 07", 1, Answer::AckThen07, "", 3, "All data has been sent"},
        {"bad checksum", 1, Answer::BadChecksum, "", 1, "Communications ERROR: Checksum Error"},
        {"garbage", 3, Answer::Garbage, "", 3, "Communications ERROR: Invalid data in packet"},
        {"silent", 1, Answer::Silent, "", 1, timeout},
        {"hung up", 2, Answer::HangUp, "", 2, timeout},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        stop();
        start();
        line->sim.planAnswer(c.frame, c.answer, QLatin1String(c.code));
        QSignalSpy ticks(tmrWait(), &QTimer::timeout);
        if (c.last == timeout)
            tmrWait()->setInterval(20);
        upload12();

        EXPECT_EQ(line->sim.frames().size(), c.framesSent);
        EXPECT_EQ(lastMessage(), c.last);
        EXPECT_TRUE(messages().contains(QStringLiteral("Sending packet %1").arg(c.framesSent)));
        EXPECT_FALSE(port()->isOpen());
        EXPECT_FALSE(tmrWait()->isActive());
        if (c.last == timeout) {
            EXPECT_EQ(ticks.count(), 7);
        }
    }
}

TEST_F(UploadDialog, DoneDuringAnUploadClosesPortAndDialog) {
    line->sim.setDefaultAnswer(Answer::Silent);
    selectEvent(SampleMeet::Event12Divers);
    click("btnTransmit");
    QTRY_VERIFY_WITH_TIMEOUT(line->sim.frames().size() == 1, Bound);
    EXPECT_TRUE(port()->isOpen());
    click("btnTransmit"); // busy: changes nothing
    click("btnDone");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(port()->isOpen());
    EXPECT_FALSE(tmrWait()->isActive());
    EXPECT_EQ(line->sim.frames().size(), 1);
}

TEST_F(UploadDialog, ConnectionTestOutcomes) {
    const QString version = QStringLiteral("OmniSport 2000 Ver 4.07");
    const struct {
        const char *name;
        Answer answer;
        const char *code;
        QString last;
        QString caption;
    } cases[] = {
        {"answered", Answer::Normal, "", "Connection Successful - " + version, "Test"},
        {"rejected", Answer::Reject, "02", "Communications ERROR: Checksum Error", "Test"},
        {"silent", Answer::Silent, "", "No response from OmniSport - Please check your connections",
         "Test conn"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        line->sim.setVersion(version);
        line->sim.setDefaultAnswer(c.answer, QLatin1String(c.code));
        const qsizetype sentBefore = line->sim.received().size();
        QSignalSpy ticks(tmrWait(), &QTimer::timeout);
        tmrWait()->setInterval(c.answer == Answer::Silent ? 20 : 1000);
        testConnection();

        EXPECT_EQ(messages(),
                  (QStringList{"assigning COM port settings: COM 3, 9600,e,8,1",
                               "Message sent to OmniSport, waiting for reply ...", c.last}));
        EXPECT_EQ(line->sim.received().mid(sentBefore), QByteArray("\x16"
                                                                   "10000000\x01"
                                                                   "200\x04"
                                                                   "18\x17"));
        EXPECT_EQ(control<QPushButton>("btnTest")->text(), c.caption);
        EXPECT_FALSE(port()->isOpen());
        EXPECT_FALSE(tmrWait()->isActive());
        if (c.answer == Answer::Silent) {
            EXPECT_EQ(ticks.count(), 6);
        }
    }
}

TEST_F(UploadDialog, GenerateLogRecordsEveryCharacterOfATestReply) {
    LogRecorder log; // before the dialog's load creates its log writer
    stop();
    start();
    line->sim.setVersion(QStringLiteral("7"));
    click("chkDebug");
    ASSERT_TRUE(Kavvix::modKavvix::DebugEnabled());
    testConnection();

    QList<LogEntry> lines; // the receiver's own entries have other numbers
    for (const LogEntry &e : log.entries())
        if (e.number == 1)
            lines << e;
    ASSERT_EQ(lines.size(), 57); // every character of the "100" reply, once
    const QString procedure = QStringLiteral("comPort_OnComm");
    EXPECT_EQ(lines.front(), (LogEntry{1, procedure,
                                       "com port input: char->\x16: Asc->22: "
                                       "Val->0: Hex->16:",
                                       0}));
    EXPECT_EQ(lines.at(13).message, // the version text starts at position 14
              QStringLiteral("com port input: char->7: Asc->55: Val->7: Hex->37:"));
    EXPECT_EQ(lines.back().message, "com port input: char->\x17: Asc->23: Val->0: Hex->17:");

    click("chkDebug");
    ASSERT_FALSE(Kavvix::modKavvix::DebugEnabled());
    log.clear();
    testConnection();
    for (qint32 number : log.numbers())
        EXPECT_TRUE(number == 101 || number == 102) << number;
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Connection Successful - 7")));
}

TEST_F(UploadDialog, ShowFormIsModalUntilDone) {
    dialog.reset();
    QObject *form = Kavvix::createObject(QStringLiteral("Kavvix.cDakUploadForm"));
    ASSERT_NE(form, nullptr);
    bool shown = false;
    pressDoneWhenShown([&](QDialog &d) {
        shown = true;
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.findChild<QLabel *>(QStringLiteral("lblMeetName"))->text(),
                  QString(SampleMeet::MeetName));
    });
    const QSqlDatabase db = line->meet.db();
    QSqlQuery *rsEvents = nullptr;
    ASSERT_TRUE(QMetaObject::invokeMethod(form, "ShowForm", Q_ARG(QSqlDatabase, db),
                                          Q_ARG(QSqlQuery *, rsEvents),
                                          Q_ARG(QString, QString(SampleMeet::MeetID))));
    EXPECT_TRUE(shown);
    delete form;
}
