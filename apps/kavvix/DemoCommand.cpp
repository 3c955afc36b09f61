#include "DemoCommand.h"

#include "DemoLiveResults.h"
#include "JobRunner.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/UploadJob.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QSqlDatabase>
#include <QTemporaryDir>

namespace KavvixCli {

namespace {

constexpr qint16 demoPort = 3;

} // namespace

void DemoCommand::describe(QCommandLineParser &parser) const {
    parser.addOption({QStringLiteral("fast"),
                      QStringLiteral("Let the simulated console answer at once instead of at "
                                     "the line's 9600 baud.")});
}

int DemoCommand::run(const QCommandLineParser &parser, Console &console) {
    QTemporaryDir folder;
    if (!folder.isValid())
        throw UserError(
            QStringLiteral("cannot create a temporary folder: %1").arg(folder.errorString()));
    const QString file = folder.filePath(QStringLiteral("sample-meet.sqlite"));
    {
        QSqlDatabase setup = Kavvix::createMeetDatabase(file, QStringLiteral("demo-setup"));
        Kavvix::SampleMeet::write(setup);
        setup.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo-setup"));
    const QSqlDatabase db = Kavvix::openMeetDatabase(file, QStringLiteral("demo"));

    Kavvix::ConsoleSimulator simulator;
    if (!parser.isSet(QStringLiteral("fast")))
        simulator.setLineRate(9600);
    Kavvix::modKavvix::MapPort(demoPort, simulator.slavePath());

    const QString meetId = Kavvix::SampleMeet::MeetID;
    const QString eventId = Kavvix::SampleMeet::Event12Divers;
    console.out << "Sample meet " << meetId << " (" << Kavvix::modKavvix::GetMeetName(meetId, db)
                << ") written to " << file << "\n"
                << "Console simulator on " << simulator.slavePath() << ", mapped to COM "
                << demoPort << " through " << Kavvix::modKavvix::PortVariable(demoPort) << "\n\n"
                << "Connection test on COM " << demoPort << ":\n";
    console.out.flush();

    JobRunner runner(console);
    if (!runner.testConnection(demoPort).succeeded())
        throw UserError(QStringLiteral("the connection test did not succeed"));

    console.out << "\nUpload of event " << eventId << " (12 divers, dive order B) on COM "
                << demoPort << ":\n";
    console.out.flush();
    const QString orderB = Kavvix::UploadJob::diveOrderCommand(QStringLiteral("B"));
    const bool sent = runner.upload(db, meetId, eventId, orderB, demoPort).succeeded();

    const QStringList frames = simulator.uploadFrames();
    console.out << "\nThe console received " << frames.size() << " upload frames";
    for (const QString &frame : frames)
        console.out << (&frame == &frames.first() ? ": " : ", ") << frame.size();
    console.out << " characters; the diver rows they carried (diving order, 13 rounds of "
                   "dive number, position code and DD):\n";
    simulator.printDiverRows(console.out);
    if (!sent) {
        console.out << "The upload did not complete: "
                    << (runner.messages().isEmpty() ? QString() : runner.messages().last()) << '\n';
        return Failure;
    }
    console.out << "\n"
                << Kavvix::UploadJob::AllDataSent << ": " << frames.size() << " frames, "
                << simulator.diverRows().size()
                << " divers, each frame acknowledged by the console.\n";
    DemoLiveResults live(file, demoPort, console);
    return live.run(simulator, folder.filePath(QStringLiteral("journal"))) ? Success : Failure;
}

} // namespace KavvixCli
