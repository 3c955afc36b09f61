// AddData against AddChar: the same bytes, fed in chunks of every size or one character a call,
// must give the same events, log entries and state, also when handlers feed more, delete the
// receiver or the log writer fails.
#include "FeedDifferential.h"
#include "OmniSportFrames.h"
#include "TestData.h"

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

using Reaction = FeedPlan::Reaction;

// Frames of every kind, whole, cut short or damaged, among stray control characters; then long
// stretches that take the buffer past its last position, with and without a frame pending.
QByteArray mixedStream() {
    using modKavvix::EOT, modKavvix::ETB, modKavvix::SOH, modKavvix::SYN;
    QStringList pieces;
    pieces << Accepted << frame("900", "07") << frame("900", "03") << frame("900", "08")
           << frame("100", QString(40, 'v')) << frame("100", QString(39, 'v'))
           << diveFrame("012AF 030012 105C2.43M") << diveFrame("9E9")
           << frame("305", QString(70, ' ')) << frame("200", {}) << damaged(Accepted, 18, u'f')
           << damaged(Accepted, 5, u'x');
    QString frames;
    for (const QString &piece : pieces)
        frames += ctl(ETB) + piece + piece.first(9) + ctl(ETB) + ctl(SOH) + ctl(EOT) + piece;
    const QString stretch(40000, 'x');
    return (frames + stretch + frames + ctl(SYN) + stretch + frames).toLatin1();
}

// The handler's reaction and when it comes, with and without the diagnostic log.
const FeedPlan plans[] = {
    {{}, false, Reaction::None, 1},          {{}, true, Reaction::None, 1},
    {{}, true, Reaction::FeedMore, 1},       {{}, false, Reaction::FeedMore, 3},
    {{}, true, Reaction::DeleteReceiver, 2}, {{}, true, Reaction::FailLogWrite, 5},
};

template <typename Receiver> void expectSameTraces(const QByteArray &stream, FeedPlan plan) {
    const QStringList oneByOne = traceOf<Receiver>(stream, plan);
    // Chunk sizes cycle: whole, large and small blocks, and uneven ones that cut anywhere.
    const std::vector<qsizetype> chunkings[] = {
        {1}, {4096}, {stream.size()}, {3, 1, 13, 7, 2, 11}, {300, 17, 1, 4096, 64}};
    for (const auto &sizes : chunkings) {
        plan.chunkSizes = sizes;
        ASSERT_EQ(traceOf<Receiver>(stream, plan), oneByOne)
            << "reaction " << int(plan.reaction) << " at " << plan.reactAt << ", chunks of "
            << sizes.front() << (sizes.size() > 1 ? "..." : "");
    }
}

TEST(BulkFeed, SameAsOneCharacterACall) {
    const QByteArray capture = testDataText("allsport5000-j5-output.bin").toLatin1();
    for (const QByteArray &stream : {capture.repeated(4), mixedStream()})
        for (const FeedPlan &plan : plans) {
            expectSameTraces<cDakProcessor>(stream, plan);
            expectSameTraces<cDakResponse>(stream, plan);
        }
}

// The comparison sees something: each of the capture's 247 frames logs three entries (SYN
// found, ETB found, a command not ours), then the probe answers.
TEST(BulkFeed, TraceShowsFramesAndProbe) {
    const QByteArray capture = testDataText("allsport5000-j5-output.bin").toLatin1();
    const QStringList trace = traceOf<cDakProcessor>(capture, {{4096}, true});
    EXPECT_EQ(trace.size(), 247 * 3 + 1 + 7);
    EXPECT_EQ(trace.back(), "V:probe");
    EXPECT_EQ(traceOf<cDakResponse>(capture, {{4096}}), QStringList({"probe", "OK", "OK"}));
}

} // namespace
