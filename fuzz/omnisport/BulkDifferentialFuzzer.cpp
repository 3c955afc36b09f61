// AddData against AddChar on both receivers: the rest of the input is the byte stream, fed one
// character a call and then in chunks; any difference in events, log entries or final state
// stops the run. Input bytes 0 to 2 choose the plan: byte 0 bit 0 the diagnostic log, bits 1-2
// the handler's reaction, bits 3-7 the largest chunk; byte 1 the event the handler reacts to;
// byte 2 seeds the chunk sizes.
#include "FeedDifferential.h"

#include <cstddef>
#include <cstdint>
#include <random>

using namespace KavvixTest;

namespace {

template <typename Receiver> void compare(const QByteArray &stream, FeedPlan plan) {
    const std::vector<qsizetype> sizes = std::move(plan.chunkSizes);
    plan.chunkSizes.clear();
    const QStringList oneByOne = traceOf<Receiver>(stream, plan);
    plan.chunkSizes = sizes;
    if (traceOf<Receiver>(stream, plan) != oneByOne)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 3)
        return 0;
    FeedPlan plan;
    plan.debug = data[0] & 1;
    plan.reaction = FeedPlan::Reaction((data[0] >> 1) & 3);
    plan.reactAt = 1 + data[1] % 8;
    const int largestChunk = 1 + (data[0] >> 3) * 8;
    std::minstd_rand random(data[2]);
    for (int n = 0; n < 32; ++n)
        plan.chunkSizes.push_back(1 + qsizetype(random() % unsigned(largestChunk)));
    const QByteArray stream(reinterpret_cast<const char *>(data) + 3, qsizetype(size - 3));
    compare<Kavvix::cDakProcessor>(stream, plan);
    compare<Kavvix::cDakResponse>(stream, plan);
    return 0;
}
