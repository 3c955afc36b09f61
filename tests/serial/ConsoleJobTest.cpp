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
    std::unique_ptr<Kavvix::UploadJob> upload() {
        return std::make_unique<Kavvix::UploadJob>(QSqlDatabase::database(MeetConnection),
                                                   SampleMeet::MeetID, SampleMeet::Event12Divers);
    }

    // Starts the job on port 3 and waits for its end; the messages and every finished().
    void run(ConsoleJob &job) {
        line.waitTimer().setInterval(20);
        job.setCommPort(3);
        job.setLine(&line);
        QObject::connect(&job, &ConsoleJob::message, [this](const QString &m) { lines << m; });
        QObject::connect(&job, &ConsoleJob::finished, [this](const JobResult &r) { results << r; });
        job.start();
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

// The ways an upload or a connection test can end that no other level reaches, each once: the
// result and the last two message lines; for a silent console the upload's wait ticks before
// giving up (a lost line ends it at once). Cancelling a finished job changes nothing.
TEST_F(Jobs, EndsOnceForEachWayItCanEnd) {
    const QString waiting = "Message sent to OmniSport, waiting for reply ...";
    const struct {
        bool upload;
        Answer answer;
        Kind kind;
        QString before, last;
        int ticks = -1; // -1: any
    } cases[] = {
        {true, Answer::AckThen07, Kind::Sent, "Sending packet 3", "All data has been sent"},
        {true, Answer::Silent, Kind::NoAnswer, "Sending packet 1",
         "No response received from the OmniSport timer", 7},
        {true, Answer::HangUp, Kind::LineLost, "Sending packet 1",
         "Communications ERROR: the serial line was lost", 0},
        {false, Answer::Reject, Kind::Rejected, waiting, "Communications ERROR: Checksum Error"},
        {false, Answer::Silent, Kind::NoAnswer, waiting,
         "No response from OmniSport - Please check your connections"},
        {false, Answer::HangUp, Kind::LineLost, waiting,
         "Communications ERROR: the serial line was lost"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.last.toStdString());
        ConsoleSimulator console;
        PortEnvironment here({{3, console.slavePath()}});
        console.setDefaultAnswer(c.answer, QStringLiteral("02"));
        // Late answers of an earlier upload wait in the device: none may count as this job's.
        console.sendRaw(Accepted.toLatin1() + Accepted.toLatin1());
        lines.clear();
        results.clear();
        int ticks = 0;
        QObject scope; // ends the connection with the case
        QObject::connect(&line.waitTimer(), &QTimer::timeout, &scope, [&] { ++ticks; });
        std::unique_ptr<ConsoleJob> job = c.upload ? std::unique_ptr<ConsoleJob>(upload())
                                                   : std::make_unique<Kavvix::ConnectionTestJob>();
        run(*job);
        job->cancel();
        EXPECT_EQ(results.size(), 1);
        EXPECT_EQ(results.value(0).kind, c.kind);
        EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{c.before, c.last}));
        EXPECT_TRUE(c.ticks < 0 || ticks == c.ticks) << ticks << " wait ticks";
    }

    Kavvix::ConnectionTestJob notStarted;
    QSignalSpy finished(&notStarted, &ConsoleJob::finished);
    notStarted.cancel();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(notStarted.result().kind, Kind::Aborted);
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

TEST_F(Jobs, TakingTheLineHandsTheReceiverWhatArrivedBefore) {
    // A judged dive is in the device when an upload takes the service's line: the line's
    // receiver gets it before the job sends anything, and the upload still runs to its end.
    Kavvix::ConsoleReader reader(3);
    QList<qint16> dives;
    QObject::connect(&reader.processor(), &Kavvix::cDakProcessor::DiveResult,
                     [&](Kavvix::cDiveResult *dive) { dives << dive->DivingOrder(); });
    reader.open();
    sim.sendRaw(diveFrame("012A    0007").toLatin1());
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
    // A byte before the job took the line goes to the receiver; of those that come while the
    // job holds it, the job takes the answer it waits for and the receiver gets the rest.
    Kavvix::ConsoleLine line;
    Holder receiver, job;
    receiver.line = job.line = &line;
    job.wants = 4;
    line.setReceiver(&receiver);
    emit line.port().received("early");
    ASSERT_TRUE(line.take(&job));
    EXPECT_FALSE(line.take(&receiver)); // one job at a time
    emit line.port().received("ACK+dive");
    EXPECT_EQ(job.got, "ACK+");
    EXPECT_EQ(receiver.got, "earlydive");
}
