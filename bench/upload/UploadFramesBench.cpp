#include <kavvix/MeetDatabase.h>
#include <kavvix/simulator/SampleMeet.h>

#include "upload/DiveSheetReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace Kavvix;

namespace {

// Everything the upload does before its first frame goes out, for the largest event it allows
// (25 divers, 13 rounds): the dive sheet query, the last diver, the rows and the 20 frames.
void BM_AllFramesOf25Divers13Rounds(benchmark::State &state) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("meet.sqlite"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString name = QStringLiteral("bench-upload");
    {
        const QSqlDatabase db = openMeetDatabase(file, name);
        SampleMeet::write(db);
        const QString meet = SampleMeet::MeetID;
        const QString event = SampleMeet::Event25Divers;
        for (auto _ : state) {
            auto rs = modKavvix::GetDiveSheets(meet, event, db);
            DiveSheetPackets packets;
            packets.InitDiverRows(modKavvix::GetLastDiver(meet, event, db));
            BuildDiverRows(rs.get(), packets);
            packets.BuildPackets(QStringLiteral("301"));
            benchmark::DoNotOptimize(packets.Packets());
        }
    }
    QSqlDatabase::removeDatabase(name);
}
BENCHMARK(BM_AllFramesOf25Divers13Rounds)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // the SQL drivers are plugins found through the app
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
