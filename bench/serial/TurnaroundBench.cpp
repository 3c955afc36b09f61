// Turnaround of the upload over a pseudo-terminal: from the last byte of the console's
// acknowledgement written on the master to the first byte of the next frame arriving there.
// Each iteration uploads the 25-diver sample event (five frames, four turnarounds); the
// counters give the median and the worst turnaround over every sample, in microseconds.

#include "serial/ConsoleSimulator.h"

#include <kavvix/PortTable.h>
#include <kavvix/SampleMeet.h>
#include <kavvix/UploadJob.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSqlDatabase>

#include <algorithm>

namespace {

using namespace Kavvix;

void BM_AcknowledgementToNextFrame(benchmark::State &state) {
    ConsoleSimulator sim;
    modKavvix::MapPort(3, sim.slavePath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench");
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        SampleMeet::write(db);
    }
    QList<qint64> samples;
    for (auto _ : state) {
        sim.clearTurnarounds();
        UploadJob job(QSqlDatabase::database("bench"), SampleMeet::MeetID,
                      SampleMeet::Event25Divers);
        job.setCommPort(3);
        QEventLoop loop;
        QObject::connect(&job, &ConsoleJob::finished, &loop, &QEventLoop::quit);
        job.start();
        if (!job.isFinished())
            loop.exec();
        if (job.result().kind != JobResult::Kind::Sent) {
            state.SkipWithError("upload did not finish");
            break;
        }
        samples += sim.turnaroundsUs();
    }
    QSqlDatabase::removeDatabase("bench");
    qunsetenv("KAVVIX_COM3");
    if (samples.isEmpty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["samples"] = double(samples.size());
    state.counters["median_us"] = double(samples[samples.size() / 2]);
    state.counters["worst_us"] = double(samples.back());
}
BENCHMARK(BM_AcknowledgementToNextFrame)->Iterations(250)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // the event loop the port and the simulator run in
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
