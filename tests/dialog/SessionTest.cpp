#include "DialogFixture.h"
#include "serial/comPort.h"
#include "upload/dialog/DakUploadSession.h"
#include "upload/dialog/TextUploadView.h"

#include <QTest>
#include <QTimer>

// The upload logic without the dialog, driven as the command-line tool drives it.

using namespace KavvixTest;
using Kavvix::ConsoleSimulator;
using Kavvix::DakUploadSession;
using Kavvix::TextUploadView;
namespace SampleMeet = Kavvix::SampleMeet;

namespace {

struct Headless {
    ConsoleOnPort3 line;
    TextUploadView view;
    DakUploadSession session{view};

    explicit Headless(qint16 port = TestPort) {
        session.Form_Load(line.meet.db(), SampleMeet::MeetID);
        session.LoadEvents();
        view.setPort(port);
        session.cboCOMport_Click();
    }
    void upload(const QString &eventID) {
        view.setSelectedEvent(session.eventIndexOf(eventID));
        session.btnTransmit_Click();
        session.waitUntilIdle();
    }
    QStringList messages() const { return texts(view.messages()); }
};

} // namespace

TEST(HeadlessSession, TestTimeOutCountsTheCaptionUp) {
    Headless h;
    h.line.sim.setDefaultAnswer(ConsoleSimulator::Answer::Silent);
    h.session.tmrWait()->setInterval(5);
    h.session.btnTest_Click();
    EXPECT_FALSE(h.view.inputEnabled());
    EXPECT_TRUE(h.view.busyCursor());
    h.session.waitUntilIdle();
    EXPECT_EQ(h.view.captions(),
              (QStringList{"Testing ...", "Testing ... 1", "Testing ... 2", "Testing ... 3",
                           "Testing ... 4", "Testing ... 5", "Test conn"}));
    EXPECT_TRUE(h.view.inputEnabled());
    EXPECT_FALSE(h.view.busyCursor());
    EXPECT_FALSE(h.session.isTesting());
}

TEST(HeadlessSession, FailuresBeforeAnythingIsSent) {
    // Port 4 is mapped to a device that does not exist.
    Headless upload(4);
    upload.upload(SampleMeet::Event12Divers);
    ASSERT_EQ(upload.view.messageBoxes().size(), 1);
    EXPECT_TRUE(upload.view.messageBoxes()[0].startsWith(
        QStringLiteral("Problem Transmitting Data: An Unexpected error was encountered - ")));
    EXPECT_GT(upload.view.messageBoxes()[0].size(), 66); // the port's own description follows
    EXPECT_EQ(upload.messages().constLast(), QStringLiteral("Process aborted"));
    EXPECT_FALSE(upload.session.tmrWait()->isActive());
    EXPECT_FALSE(upload.view.busyCursor());

    Headless test(4);
    test.session.btnTest_Click();
    const QStringList shown = test.messages();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("assigning COM port settings: COM 4, 9600,e,8,1"));
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("UNEXPECTED ERROR: [12] ")))
        << shown[1].toStdString();
    EXPECT_TRUE(test.session.isTesting()); // broken off: nothing else is undone
    EXPECT_TRUE(test.session.isIdle());
    EXPECT_TRUE(test.view.inputEnabled());
    EXPECT_FALSE(test.view.busyCursor());

    EXPECT_TRUE(upload.line.sim.received().isEmpty());
    EXPECT_TRUE(test.line.sim.received().isEmpty());
}
