// The upload and the connection test as jobs, without widgets, over a pseudo-terminal to the
// console simulator: every way each can end, reported once, the port closed afterwards.

#include "../omnisport/OmniSportFrames.h"
#include "PortEnvironment.h"
#include "SampleMeetSuite.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/ConsoleReader.h>
#include <kavvix/UploadJob.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace KavvixTest;
using Kavvix::ConsoleJob;
using Kavvix::ConsoleSimulator;
using Kavvix::JobResult;
using Answer = ConsoleSimulator::Answer;
using Kind = JobResult::Kind;
namespace SampleMeet = Kavvix::SampleMeet;

namespace {

constexpr int Bound = 10000; // ms: the longest any awaited job may take
const QString MeetConnection = QStringLiteral("job-meet");

// A simulated console on port 3, the sample meet in memory, and a job of the test's making
// run to its end with a short wait timer lent to it.
class Jobs : public SampleMeetSuite<MeetConnection> {
protected:
    std::unique_ptr<Kavvix::UploadJob> upload(const QString &event = SampleMeet::Event12Divers) {
        return std::make_unique<Kavvix::UploadJob>(QSqlDatabase::database(MeetConnection),
                                                   SampleMeet::MeetID, event);
    }

    // Starts the job on port 3 and waits for its end; the messages and every finished().
    void run(ConsoleJob &job, const std::function<void()> &whileRunning = {}) {
        line.waitTimer().setInterval(20);
        job.setCommPort(3);
        job.setLine(&line);
        QObject::connect(&job, &ConsoleJob::message, [this](const QString &m) { lines << m; });
        QObject::connect(&job, &ConsoleJob::finished, [this](const JobResult &r) { results << r; });
        job.start();
        if (whileRunning)
            whileRunning();
        QTRY_VERIFY_WITH_TIMEOUT(job.isFinished(), Bound);
        QTest::qWait(50); // long enough for a second finished() to show up
        EXPECT_EQ(results.size(), 1);
        EXPECT_FALSE(line.port().isOpen());
        EXPECT_FALSE(line.waitTimer().isActive());
        EXPECT_EQ(line.job(), nullptr);
    }

    ConsoleSimulator sim;
    PortEnvironment env{{{3, sim.slavePath()}}};
    Kavvix::ConsoleLine line;
    QStringList lines;
    QList<JobResult> results;
};

} // namespace

// Every way an upload can end: the result, the last two message lines, the frames sent, and
// for a silent console the wait ticks before giving up (a lost line ends it at once).
TEST_F(Jobs, UploadEndsOnceForEachWayItCanEnd) {
    struct Case {
        int frame; // the frame the console answers as told
        Answer answer;
        const char *code;
        Kind kind;
        QString responseCode;
        QString last;
        int ticks = -1; // -1: any
    };
    const Case cases[] = {
        {1, Answer::Normal, "", Kind::Sent, "", "All data has been sent"},
        {1, Answer::AckThen07, "", Kind::Sent, "", "All data has been sent"},
        {2, Answer::Reject, "02", Kind::Rejected, "02", "Communications ERROR: Checksum Error"},
        {1, Answer::BadChecksum, "", Kind::Rejected, "", "Communications ERROR: Checksum Error"},
        {1, Answer::Silent, "", Kind::NoAnswer, "", "No response received from the OmniSport timer",
         7},
        {2, Answer::HangUp, "", Kind::LineLost, "",
         "Communications ERROR: the serial line was lost", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(JobResult::name(c.kind).toStdString() + " " + c.code);
        ConsoleSimulator console;
        PortEnvironment here({{3, console.slavePath()}});
        console.planAnswer(c.frame, c.answer, QLatin1String(c.code));
        lines.clear();
        results.clear();
        int ticks = 0; // while the last frame awaited its answer
        QObject scope; // ends the connections with the case
        auto job = upload();
        QObject::connect(job.get(), &ConsoleJob::message, &scope, [&](const QString &m) {
            if (m.startsWith(QLatin1String("Sending packet")))
                ticks = 0;
        });
        QObject::connect(&line.waitTimer(), &QTimer::timeout, &scope, [&] { ++ticks; });
        run(*job);
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].kind, c.kind);
        EXPECT_EQ(results[0].responseCode, c.responseCode);
        const int sent = c.kind == Kind::Sent ? 3 : c.frame;
        EXPECT_EQ(lines.mid(lines.size() - 2),
                  (QStringList{QStringLiteral("Sending packet %1").arg(sent), c.last}));
        EXPECT_EQ(job->framesSent(), sent);
        if (c.ticks >= 0) {
            EXPECT_EQ(ticks, c.ticks);
        }
    }
}

// The first frame cannot be written (the other end hung up after the open): the upload stops
// with the box and the line of an upload that could not begin.
TEST_F(Jobs, FirstFrameThatCannotBeWrittenAbortsWithTheBox) {
    auto job = upload();
    QStringList alerts;
    QObject::connect(job.get(), &Kavvix::UploadJob::alert,
                     [&](const QString &title, const QString &) { alerts << title; });
    QObject::connect(job.get(), &ConsoleJob::stateChanged, [&](ConsoleJob::State state) {
        if (state == ConsoleJob::State::Waiting)
            sim.hangUp();
    });
    run(*job);
    EXPECT_EQ(results.value(0).kind, Kind::PortUnavailable);
    EXPECT_EQ(alerts, QStringList{"Problem Transmitting Data"});
    EXPECT_EQ(lines.constLast(), "Process aborted");
}

// Every way a connection test can end, with every line it writes and the request it sends.
TEST_F(Jobs, ConnectionTestEndsOnceForEachWayItCanEnd) {
    const std::tuple<Answer, const char *, Kind, QString> cases[] = {
        {Answer::Normal, "", Kind::Connected, "Connection Successful - OmniSport 2000 Ver 3.12"},
        {Answer::Reject, "02", Kind::Rejected, "Communications ERROR: Checksum Error"},
        {Answer::Silent, "", Kind::NoAnswer,
         "No response from OmniSport - Please check your connections"},
        {Answer::HangUp, "", Kind::LineLost, "Communications ERROR: the serial line was lost"},
    };
    for (const auto &[answer, code, kind, last] : cases) {
        SCOPED_TRACE(last.toStdString());
        ConsoleSimulator console;
        PortEnvironment here({{3, console.slavePath()}});
        console.setDefaultAnswer(answer, QLatin1String(code));
        lines.clear();
        results.clear();
        Kavvix::ConnectionTestJob job;
        run(job);
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].kind, kind);
        EXPECT_EQ(lines, (QStringList{"assigning COM port settings: COM 3, 9600,e,8,1",
                                      "Message sent to OmniSport, waiting for reply ...", last}));
        // SYN, address, SOH, "200", EOT, checksum, ETB
        EXPECT_EQ(console.received(), QByteArray("\02610000000\001200\00418\027"));
    }
}

TEST_F(Jobs, CancelClosesThePortAndReportsAborted) {
    sim.setLineRate(9600); // frames take long enough on the line to cancel in the middle
    auto job = upload(SampleMeet::Event25Divers);
    run(*job, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(sim.frames().size() == 2, Bound);
        job->cancel();
    });
    EXPECT_EQ(results.value(0).kind, Kind::Aborted);
    EXPECT_EQ(lines.constLast(), "Process aborted - upload cancelled");
    job->cancel(); // a finished job stays as it is
    EXPECT_EQ(results.size(), 1);

    Kavvix::ConnectionTestJob notStarted;
    QSignalSpy finished(&notStarted, &ConsoleJob::finished);
    notStarted.cancel();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(notStarted.result().kind, Kind::Aborted);
}

TEST_F(Jobs, AnswersLeftInTheDeviceAreNotTakenAsAcknowledgements) {
    // A late "00" of an earlier upload waits in the device; this upload's first frame gets
    // no answer, so it must time out rather than send frame 2 on the old acknowledgement.
    sim.sendRaw(Accepted.toLatin1() + Accepted.toLatin1());
    sim.planAnswer(1, Answer::Silent);
    auto job = upload();
    run(*job);
    EXPECT_EQ(results.value(0).kind, Kind::NoAnswer);
    EXPECT_EQ(sim.frames().size(), 1);
}

TEST_F(Jobs, TakingTheLineHandsTheReceiverWhatArrivedBefore) {
    // A judged dive is in the device when an upload takes the service's line: the line's
    // receiver gets it before the job sends anything, and the upload still runs to its end.
    Kavvix::ConsoleReader reader(3);
    QList<qint16> dives;
    QObject::connect(&reader.processor(), &Kavvix::cDakProcessor::DiveResult,
                     [&](Kavvix::cDiveResult *dive) { dives << dive->DivingOrder(); });
    reader.open();
    Kavvix::cDiveResult dive;
    dive.setDivingOrder(7);
    sim.sendDiveResult(dive);
    QTest::qSleep(100); // in the device, not yet delivered: no event loop ran
    auto job = upload();
    job->setCommPort(3);
    job->setLine(&reader.line());
    job->start();
    EXPECT_EQ(dives, QList<qint16>{7});
    QTRY_VERIFY_WITH_TIMEOUT(job->isFinished(), Bound);
    EXPECT_EQ(job->result().kind, Kind::Sent);
    EXPECT_TRUE(reader.isOpen()); // given back open to its receiver
}

TEST(ConsoleLine, GivesTheRestOfABatchToTheReceiverWhenTheJobEnds) {
    // A holder that takes the first `wants` bytes, then gives the line back.
    struct Holder : Kavvix::LineHolder {
        Kavvix::ConsoleLine *line = nullptr;
        qsizetype wants = -1; // -1: everything, never gives the line back
        QByteArray got;
        qsizetype lineReceived(QByteArrayView bytes) override {
            const qsizetype took =
                wants < 0 ? bytes.size() : qMin(wants - got.size(), bytes.size());
            got += bytes.first(took).toByteArray();
            if (wants >= 0 && got.size() == wants)
                line->giveBack(this);
            return took;
        }
        void lineLost(const QString &) override {}
    };
    const struct {
        QByteArray before, during;
        qsizetype jobTakes;
        QByteArray jobGets, receiverGets;
    } cases[] = {
        {"early", "ACK+dive", 4, "ACK+", "earlydive"},
        {"", "ACK", 3, "ACK", ""},
        {"", "", 0, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.during.toStdString());
        Kavvix::ConsoleLine line;
        Holder receiver, job;
        receiver.line = job.line = &line;
        job.wants = c.jobTakes;
        line.setReceiver(&receiver);
        if (!c.before.isEmpty())
            emit line.port().received(c.before);
        ASSERT_TRUE(line.take(&job));
        EXPECT_FALSE(line.take(&receiver)); // one job at a time
        if (!c.during.isEmpty())
            emit line.port().received(c.during);
        EXPECT_EQ(job.got, c.jobGets);
        EXPECT_EQ(receiver.got, c.receiverGets);
    }
}
