// AddData against AddChar: the same bytes, fed in chunks of every size or one character a call,
// must give the same events, log entries and state, also when handlers feed more, delete the
// receiver or the log writer fails.
#include "FeedDifferential.h"
#include "OmniSportFrames.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <random>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

using Reaction = FeedPlan::Reaction;

QByteArray latin1(const QString &text) {
    return text.toLatin1();
}

// Frames of every kind, damaged ones, noise rich in control characters, and now and then a
// long stretch that takes the buffer past its last position, with or without a frame pending.
QByteArray randomStream(unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QByteArray pieces[] = {
        latin1(Accepted),
        latin1(frame("900", "07")),
        latin1(frame("900", "03")),
        latin1(frame("900", "08")),
        latin1(frame("100", QString(40, 'v'))),
        latin1(frame("100", QString(39, 'v'))),
        latin1(diveFrame("012AF 030012 105C2.43M")),
        latin1(diveFrame("9E9")),
        latin1(frame("305", QString(70, ' '))),
        latin1(frame("200", {})),
        latin1(damaged(Accepted, 18, u'f')),
        latin1(damaged(Accepted, 5, u'x')),
    };
    const char controls[] = {modKavvix::SYN, modKavvix::ETB, modKavvix::SOH, modKavvix::EOT};
    QByteArray stream;
    while (stream.size() < 3000) {
        switch (pick(8)) {
        case 0:
        case 1:
            for (int n = pick(12); n > 0; --n)
                stream += pick(3) ? char(pick(256)) : controls[pick(4)];
            break;
        case 2: // a frame cut short
            stream += std::data(pieces)[pick(std::size(pieces))].first(pick(20));
            break;
        case 3:
            if (pick(8) == 0)
                stream += (pick(2) ? QByteArray(1, modKavvix::SYN) : QByteArray()) +
                          QByteArray(20000 + pick(20000), 'x');
            break;
        default:
            stream += pieces[pick(std::size(pieces))];
        }
    }
    return stream;
}

std::vector<qsizetype> randomSizes(unsigned seed, int most) {
    std::mt19937 random(seed);
    std::vector<qsizetype> sizes(64);
    for (qsizetype &size : sizes)
        size = 1 + qsizetype(random() % unsigned(most));
    return sizes;
}

struct Stream {
    const char *name;
    QByteArray bytes;
};

std::vector<Stream> streams() {
    const QByteArray capture = testDataText("allsport5000-j5-output.bin").toLatin1();
    std::vector<Stream> out = {{"capture", capture}, {"capture x4", capture.repeated(4)}};
    for (unsigned seed = 1; seed <= 8; ++seed)
        out.push_back({"random", randomStream(seed)});
    return out;
}

struct PlanRow {
    const char *name;
    bool debug;
    Reaction reaction;
    int reactAt;
};

const PlanRow plans[] = {
    {"quiet", false, Reaction::None, 1},
    {"logged", true, Reaction::None, 1},
    {"first handler feeds more", true, Reaction::FeedMore, 1},
    {"third handler feeds more", false, Reaction::FeedMore, 3},
    {"second handler deletes", true, Reaction::DeleteReceiver, 2},
    {"fifth log entry fails", true, Reaction::FailLogWrite, 5},
};

template <typename Receiver> void expectSameTraces(const Stream &stream, const PlanRow &row) {
    FeedPlan plan{{}, row.debug, row.reaction, row.reactAt};
    const QStringList oneByOne = traceOf<Receiver>(stream.bytes, plan);
    const std::vector<qsizetype> chunkings[] = {{1},
                                                {4096},
                                                {stream.bytes.size()},
                                                randomSizes(stream.bytes.size(), 13),
                                                randomSizes(stream.bytes.size() + 1, 300)};
    for (const auto &sizes : chunkings) {
        plan.chunkSizes = sizes;
        const QStringList bulk = traceOf<Receiver>(stream.bytes, plan);
        ASSERT_EQ(bulk, oneByOne) << stream.name << ", " << row.name << ", chunks of "
                                  << sizes.front() << (sizes.size() > 1 ? "..." : "");
    }
}

TEST(BulkFeed, SameAsOneCharacterACall) {
    for (const Stream &stream : streams())
        for (const PlanRow &row : plans) {
            expectSameTraces<cDakProcessor>(stream, row);
            expectSameTraces<cDakResponse>(stream, row);
        }
}

// The comparison sees something: every frame of the real capture is cut, passes its checks and
// is logged (SYN found, ETB found, a command not ours), without an event; then the probe.
TEST(BulkFeed, TraceShowsFramesAndProbe) {
    const QByteArray capture = testDataText("allsport5000-j5-output.bin").toLatin1();
    const QStringList trace = traceOf<cDakProcessor>(capture, {{4096}, true});
    ASSERT_EQ(trace.size(), 247 * 3 + 1 + 7);
    for (int i = 0; i < 247 * 3; ++i)
        EXPECT_TRUE(trace[i].startsWith(QStringLiteral("L%1 ").arg(QList{2, 3, 11}[i % 3])))
            << trace[i];
    EXPECT_EQ(trace.back(), "V:probe");
    EXPECT_EQ(traceOf<cDakResponse>(capture, {{4096}}), QStringList({"probe", "OK", "OK"}));
}

} // namespace
