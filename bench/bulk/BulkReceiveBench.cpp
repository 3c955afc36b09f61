// The real console capture, repeated, through each way of feeding a receiver, side by side:
// megabytes per second, and the ratio to that receiver's first way (one AddChar call per
// character).
//   bench_bulk [--capture FILE] [--repeat N] [--passes N] [--only TEXT]
// A way is one row of ways(): the receiver, how it is fed, and a function that feeds it the
// whole stream once.
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Kavvix;

namespace {

constexpr qsizetype ChunkSize = 4096;

struct Way {
    QString receiver;
    QString how;
    std::function<void(const QByteArray &stream)> feedOnce;
};

// One shared one-character text per byte value, so that way (a) pays for AddChar alone.
const std::array<QString, 256> &charTexts() {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int c = 0; c < 256; ++c)
            t[c] = QString(QChar(c));
        return t;
    }();
    return texts;
}

template <typename Receiver> void feedChars(const QByteArray &stream) {
    Receiver receiver;
    for (const char c : stream)
        receiver.AddChar(charTexts()[quint8(c)]);
}

template <typename Receiver> void feedChunks(const QByteArray &stream) {
    Receiver receiver;
    for (qsizetype at = 0; at < stream.size(); at += ChunkSize)
        receiver.AddData(stream.mid(at, ChunkSize)); // mid() shares the data: no copy
}

std::vector<Way> ways() {
    return {
        {"receive processor", "AddChar, one character a call", feedChars<cDakProcessor>},
        {"receive processor", "AddData, 4 KiB chunks", feedChunks<cDakProcessor>},
        {"response receiver", "AddChar, one character a call", feedChars<cDakResponse>},
        {"response receiver", "AddData, 4 KiB chunks", feedChunks<cDakResponse>},
    };
}

// Seconds of each of passes timed runs, fastest first.
std::vector<double> timedPasses(const Way &way, const QByteArray &stream, int passes) {
    std::vector<double> seconds;
    for (int pass = 0; pass < passes; ++pass) {
        QElapsedTimer timer;
        timer.start();
        way.feedOnce(stream);
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds;
}

QString option(const QStringList &args, const char *name, const QString &fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QFile file(option(args, "--capture", QStringLiteral(KAVVIX_CAPTURE)));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_bulk: cannot read %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const int repeat = option(args, "--repeat", QStringLiteral("100")).toInt();
    const int passes = option(args, "--passes", QStringLiteral("9")).toInt();
    const QString only = option(args, "--only", QString()); // ways whose name holds it
    const QByteArray stream = file.readAll().repeated(repeat);

    std::printf("%lld bytes (%s x %d), %d passes: MB/s of the median and the fastest pass; "
                "ratio of the medians to the receiver's first way\n",
                (long long)stream.size(), qPrintable(file.fileName()), repeat, passes);
    QHash<QString, double> firstRates;
    for (const Way &way : ways()) {
        if (!(way.receiver + QLatin1Char(' ') + way.how).contains(only))
            continue;
        way.feedOnce(stream); // warm-up
        const std::vector<double> seconds = timedPasses(way, stream, passes);
        const double rate = double(stream.size()) / seconds[seconds.size() / 2] / 1e6;
        const double best = double(stream.size()) / seconds.front() / 1e6;
        if (!firstRates.contains(way.receiver))
            firstRates.insert(way.receiver, rate);
        std::printf("%-18s %-32s %8.1f MB/s  (fastest %7.1f)  x%.1f\n", qPrintable(way.receiver),
                    qPrintable(way.how), rate, best, rate / firstRates.value(way.receiver));
    }
    return 0;
}
