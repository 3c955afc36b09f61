// Both console receivers fed 10^8 characters of valid frames, one character per AddChar call,
// as a serial port delivers them. Reports characters per second and the process's peak resident
// memory after a warm-up and at the end: the two must match (the receive buffer stays bounded).
#include "../../tests/support/ResidentMemory.h"

#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/modKavvix.h>

#include <benchmark/benchmark.h>

#include <QFile>

#include <array>
#include <vector>

using namespace Kavvix;

namespace {

constexpr qint64 TotalChars = 100'000'000;
constexpr qint64 WarmUpChars = 1'000'000;

// Peak resident set size of the process in kB.
double peakKb() {
    return double(KavvixTest::processMemoryKiB("VmHWM"));
}

// One "900"/"00" acknowledgement and one judged dive, 115 characters.
QString pattern() {
    const QString data = QStringLiteral("012AF 030012 105C2.43M       "
                                        "8.5  8.5    7.0 10  0.5 9.5 6.0 5.5 N  57.60312.45");
    return modKavvix::BuildFrame(QStringLiteral("900"), QStringLiteral("00")) +
           modKavvix::BuildFrame(QStringLiteral("305"), data);
}

template <typename Receiver> void connectCounter(Receiver &r, qint64 &events);
template <> void connectCounter(cDakProcessor &p, qint64 &events) {
    QObject::connect(&p, &cDakProcessor::DiveResult, [&events](cDiveResult *) { ++events; });
}
template <> void connectCounter(cDakResponse &r, qint64 &events) {
    QObject::connect(&r, &cDakResponse::ResponseOK, [&events] { ++events; });
}

template <typename Receiver> void BM_Stream(benchmark::State &state) {
    // One shared one-character text per byte value, so the feeding itself allocates nothing.
    std::array<QString, 256> texts;
    for (int c = 0; c < 256; ++c)
        texts[c] = QString(QChar(c));
    std::vector<const QString *> frames;
    for (QChar c : pattern())
        frames.push_back(&texts[c.unicode()]);

    qint64 events = 0;
    double peakAfterWarmUp = 0;
    for (auto _ : state) {
        Receiver receiver;
        connectCounter(receiver, events);
        std::size_t i = 0;
        for (qint64 n = 0; n < TotalChars; ++n) {
            receiver.AddChar(*frames[i]);
            if (++i == frames.size())
                i = 0;
            if (n == WarmUpChars)
                peakAfterWarmUp = peakKb();
        }
    }
    state.SetItemsProcessed(state.iterations() * TotalChars);
    state.counters["chars_per_s"] =
        benchmark::Counter(double(state.iterations() * TotalChars), benchmark::Counter::kIsRate);
    state.counters["events"] = double(events);
    state.counters["peak_kB_warm"] = peakAfterWarmUp;
    state.counters["peak_kB_end"] = peakKb();
}

BENCHMARK_TEMPLATE(BM_Stream, cDakProcessor)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Stream, cDakResponse)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
