#include "OmniSportFrames.h"
#include "RecordingUtility.h"
#include "TestData.h"

#include <kavvix/Error.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

class DebugLog {
public:
    DebugLog() { modKavvix::setDebugEnabled(true); }
    ~DebugLog() { modKavvix::setDebugEnabled(false); }
    LogRecorder recorder;
};

TEST(ConsoleCapture, EveryFrameIsCutAndPassesTheChecks) {
    const QString capture = testDataText("allsport5000-j5-output.bin");
    ASSERT_EQ(capture.size(), 9214);
    DebugLog debug;
    cDakProcessor processor;
    QSignalSpy versions(&processor, &cDakProcessor::SoftwareVersion);
    QSignalSpy errors(&processor, &cDakProcessor::COMMError);
    QSignalSpy dives(&processor, &cDakProcessor::DiveResult);
    feed(processor, capture);
    QList<qint32> expected;
    for (int i = 0; i < 247; ++i)
        expected << 2 << 3 << 11; // its commands "003" and "004" are not ours
    EXPECT_EQ(debug.recorder.numbers(), expected);
    EXPECT_EQ(versions.size() + errors.size() + dives.size(), 0);

    cDakResponse response;
    QSignalSpy ok(&response, &cDakResponse::ResponseOK);
    QSignalSpy packetErrors(&response, &cDakResponse::PacketError);
    feed(response, capture);
    EXPECT_EQ(ok.size() + packetErrors.size(), 0);
}

// Positions fit 16 bits: up to 32767 nothing moves; past it only what lies before the current
// SYN is dropped, and a partial frame too long to ever be cut is abandoned.
TEST(LongStreams, PositionsStayAsTheyWereUntilTheBufferIsFull) {
    const QString request = frame("200", {});
    const struct {
        QString stream;
        QList<qint32> numbers;
        QStringList positions; // messages of the SYN and ETB entries
    } cases[] = {
        {QString(32750, 'x') + request, {2, 3, 11}, {"Found SYN at 32751", "Found ETB at 32767"}},
        {QString(32760, 'x') + request, {2, 3, 11}, {"Found SYN at 32761", "Found ETB at 17"}},
        {ctl(modKavvix::SYN) + QString(40000, 'x') + request,
         {2, 2, 3, 11},
         {"Found SYN at 1", "Found SYN at 7235", "Found ETB at 7251"}},
    };
    for (const auto &c : cases) {
        DebugLog debug;
        cDakProcessor processor;
        feed(processor, c.stream);
        EXPECT_EQ(debug.recorder.numbers(), c.numbers);
        QStringList positions;
        for (const LogEntry &e : debug.recorder.entries())
            if (e.number <= 3)
                positions << e.message;
        EXPECT_EQ(positions, c.positions);
    }
}

TEST(LongStreams, BothReceiversKeepUnderstandingFrames) {
    const QString ok = frame("900", QStringLiteral("00"));
    const QString dive = diveFrame(QStringLiteral("012"));
    // Noise, a partial frame and two complete ones: 250 characters a round.
    const QString round = QString(19, 'n') + ctl(modKavvix::SYN) + QString(114, 'p') + dive + ok +
                          ctl(modKavvix::ETB);
    cDakProcessor processor;
    cDakResponse response;
    QSignalSpy dives(&processor, &cDakProcessor::DiveResult);
    QSignalSpy errors(&processor, &cDakProcessor::COMMError);
    QSignalSpy acks(&response, &cDakResponse::ResponseOK);
    QSignalSpy packetErrors(&response, &cDakResponse::PacketError);
    const int rounds = 800; // 200,000 characters
    for (int i = 0; i < rounds; ++i) {
        feed(processor, round);
        feed(response, round);
    }
    EXPECT_EQ(dives.size(), rounds);
    EXPECT_EQ(acks.size(), rounds);
    EXPECT_EQ(errors.size() + packetErrors.size(), 0);
}

// A log writer that fails at one log point.
int g_failAt = 0;
class FailingUtility : public cUtility {
public:
    void WriteLog(qint32 number, const QString &, const QString &, qint32) override {
        if (number == g_failAt && std::exchange(g_failAt, 0))
            throw Error::invalidArgument(QStringLiteral("log writer failed"));
    }
};

TEST(LogFailure, ReachesTheCallerAndTheNextFrameIsUnderstood) {
    setUtilityFactory([] { return std::make_unique<FailingUtility>(); });
    modKavvix::setDebugEnabled(true);
    const QString version = frame("100", QStringLiteral("V1").leftJustified(40));
    const struct {
        int failAt;
        QString frame;
    } cases[] = {{2, version},
                 {3, version},
                 {10, damaged(version, 55, u'0')},
                 {11, frame("200", {})},
                 {12, frame("100", {})}};
    for (const auto &c : cases) {
        cDakProcessor processor;
        QSignalSpy versions(&processor, &cDakProcessor::SoftwareVersion);
        g_failAt = c.failAt;
        EXPECT_THROW(feed(processor, c.frame), Error) << c.failAt;
        feed(processor, version);
        EXPECT_EQ(versions.size(), 1) << c.failAt;
    }
    modKavvix::setDebugEnabled(false);
    setUtilityFactory({});
}

} // namespace
