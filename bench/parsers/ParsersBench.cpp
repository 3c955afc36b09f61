#include <kavvix/clsColoradoData.h>
#include <kavvix/clsDaktronicsData.h>
#include <kavvix/modKavvix.h>

#include <benchmark/benchmark.h>

#include <QString>

namespace {

using namespace Kavvix;

QString ch(char16_t c) {
    return QString(QChar(c));
}

QString daktronicsPacket(int offset, const QString &text) {
    return ch(modKavvix::SOH) + "00421" + QStringLiteral("%1").arg(offset, 5, 10, QChar(u'0')) +
           ch(modKavvix::STX) + text + ch(modKavvix::EOT) + "5A";
}

QString fullRecord() {
    QString r = "12  Jane Doe          " + QString(15, u' ') + " 55.20" + "0105" +
                QString(30, u' ') + "p2.4" + "7.5 8.0 7.0 6.5 6.0 5.5 5.0 4.5 4.0 " + "155.70";
    for (int block = 0; block < 10; ++block)
        r += "07" + QString("Other Diver").leftJustified(20) + QString("Team").leftJustified(15) +
             "301.25";
    return r + QString(35, u' ') + "03";
}

void bmColoradoRecord(benchmark::State &state) {
    const QString text = ch(modKavvix::STX) + "x" +
                         "DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7" +
                         "y" + ch(modKavvix::EOT);
    clsColoradoData parser;
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.ParseData(text));
    state.counters["records/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(bmColoradoRecord);

void bmDaktronics(benchmark::State &state, const QString &packet) {
    clsDaktronicsData parser;
    for (auto _ : state) {
        parser.InitializeItems(); // keeps the judge counter far from its limit
        benchmark::DoNotOptimize(parser.ParseData(packet));
    }
    state.counters["records/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
// A typical packet: the judges' scores as they arrive after a dive.
BENCHMARK_CAPTURE(bmDaktronics, judges_packet, daktronicsPacket(81, "7.5 8.0 7.0 6.5 6.0 "));
BENCHMARK_CAPTURE(bmDaktronics, full_record, daktronicsPacket(0, fullRecord()));

} // namespace

BENCHMARK_MAIN();
