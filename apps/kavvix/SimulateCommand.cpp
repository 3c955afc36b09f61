#include "SimulateCommand.h"

#include "InterruptWatcher.h"

#include "ReplayOption.h"
#include "SimulatorCommands.h"

#include <kavvix/PortTable.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace KavvixCli {

namespace {

using Answer = Kavvix::ConsoleSimulator::Answer;

int positiveNumber(const QString &text, const QString &what) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1)
        throw UsageError(QStringLiteral("%1 takes a number from 1 on, not '%2'").arg(what, text));
    return value;
}

// --port: only printed, in the name of the variable that maps the port to the simulator.
qint16 portNumber(const QString &text) {
    const int n = positiveNumber(text, QStringLiteral("--port"));
    if (n > Kavvix::modKavvix::LastPortNumber)
        throw UsageError(QStringLiteral("--port takes a number from 1 to %1")
                             .arg(Kavvix::modKavvix::LastPortNumber));
    return qint16(n);
}

// "K:CODE" of --reject: frame K is answered with response code CODE (two digits).
void planRejections(Kavvix::ConsoleSimulator &simulator, const QStringList &values) {
    for (const QString &value : values) {
        const QStringList parts = value.split(QLatin1Char(':'));
        if (parts.size() != 2 || parts[1].size() != 2 || !parts[1][0].isDigit() ||
            !parts[1][1].isDigit())
            throw UsageError(
                QStringLiteral("--reject takes K:CODE such as 2:02, not '%1'").arg(value));
        simulator.rejectFrame(positiveNumber(parts[0], QStringLiteral("--reject")), parts[1]);
    }
}

} // namespace

void SimulateCommand::describe(QCommandLineParser &parser) const {
    ReplayOption::describe(parser);
    parser.addOptions({
        optionWithDefault(
            QStringLiteral("port"),
            QStringLiteral("Print the KAVVIX_COM<N> setting that maps port N to the console."),
            QStringLiteral("N"), QStringLiteral("3")),
        {QStringLiteral("version"),
         QStringLiteral("Version text of the version reply (default: %1).")
             .arg(Kavvix::ConsoleSimulator::DefaultVersion),
         QStringLiteral("TEXT")},
        {QStringLiteral("reject"),
         QStringLiteral("Answer frame K (counting every frame received) with response code "
                        "CODE, e.g. 2:02. Repeatable."),
         QStringLiteral("K:CODE")},
        {QStringLiteral("double-ack"), QStringLiteral("Answer upload frames with 00, then 07.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("bad-checksum"), QStringLiteral("Answer with a wrong checksum.")},
        {QStringLiteral("garbage"), QStringLiteral("Answer with line noise.")},
        {QStringLiteral("hang-up-at"), QStringLiteral("Hang up instead of answering frame K."),
         QStringLiteral("K")},
        {QStringLiteral("send-dives"),
         QStringLiteral("Send N judged dives (\"305\"), one every --dive-interval ms, from the "
                        "first frame the other end sends (the version request of serve or "
                        "monitor --request-version)."),
         QStringLiteral("N")},
        {QStringLiteral("now"),
         QStringLiteral("Start --send-dives at once, without waiting for the other end.")},
        optionWithDefault(QStringLiteral("dive-interval"),
                          QStringLiteral("Milliseconds between judged dives."),
                          QStringLiteral("MS"), QStringLiteral("1000")),
        {QStringLiteral("line-rate"),
         QStringLiteral("Pace the console's output at 9600 baud, as the real line does.")},
        {QStringLiteral("commands"),
         QStringLiteral("Take commands on standard input, one JSON object a line: "
                        "{\"dive\": {FIELDS}} sends a judged dive, {\"lineRate\": BAUD} "
                        "paces the output, {\"rejectNext\": \"CODE\"} rejects the next "
                        "frame.")},
        {QStringLiteral("print-rows"),
         QStringLiteral("On exit, print the diver rows the upload frames carried.")},
    });
}

int SimulateCommand::run(const QCommandLineParser &parser, Console &console) {
    Kavvix::ConsoleSimulator simulator;
    const auto port = portNumber(parser.value(QStringLiteral("port")));
    if (parser.isSet(QStringLiteral("version")))
        simulator.setVersion(parser.value(QStringLiteral("version")));

    int behaviours = 0;
    for (const auto &[option, answer] :
         {std::pair{"double-ack", Answer::AckThen07}, std::pair{"silent", Answer::Silent},
          std::pair{"bad-checksum", Answer::BadChecksum}, std::pair{"garbage", Answer::Garbage}}) {
        if (parser.isSet(QLatin1String(option))) {
            simulator.setDefaultAnswer(answer);
            ++behaviours;
        }
    }
    if (behaviours > 1)
        throw UsageError(
            QStringLiteral("choose one of --double-ack, --silent, --bad-checksum, --garbage"));
    planRejections(simulator, parser.values(QStringLiteral("reject")));
    if (parser.isSet(QStringLiteral("hang-up-at")))
        simulator.planAnswer(positiveNumber(parser.value(QStringLiteral("hang-up-at")),
                                            QStringLiteral("--hang-up-at")),
                             Answer::HangUp);
    if (parser.isSet(QStringLiteral("line-rate")))
        simulator.setLineRate(9600);

    QObject::connect(&simulator, &Kavvix::ConsoleSimulator::frameReceived,
                     [&](const QString &frame, bool valid) {
                         console.out << "received frame: command "
                                     << Kavvix::ConsoleSimulator::commandOf(frame) << ", "
                                     << frame.size() << " characters, "
                                     << (valid ? "valid" : "INVALID") << '\n';
                         console.out.flush();
                     });
    QObject::connect(&simulator, &Kavvix::ConsoleSimulator::answered, [&](const QString &frame) {
        const QString command = Kavvix::ConsoleSimulator::commandOf(frame);
        console.out << "answered: command " << command;
        if (command == QLatin1String("900"))
            console.out << ", response code " << Kavvix::ConsoleSimulator::responseCodeOf(frame);
        console.out << '\n';
        console.out.flush();
    });

    bool droppedNoted = false;
    QObject::connect(&simulator, &Kavvix::ConsoleSimulator::outputDropped, [&] {
        if (std::exchange(droppedNoted, true))
            return;
        console.err << "kavvix simulate: nobody is reading the line; what does not fit in "
                    << Kavvix::ConsoleSimulator::MaxQueued / 1024 << " KiB waiting is dropped\n";
        console.err.flush();
    });

    const auto replay = ReplayOption::start(parser, simulator, console);
    int divesSent = 0;
    const auto sendDive = [&](const Kavvix::cDiveResult &dive) {
        simulator.sendDiveResult(dive);
        console.out << "sent judged dive " << ++divesSent << '\n';
        console.out.flush();
    };
    QTimer dives;
    int divesLeft = 0;
    int sampleDives = 0;
    if (parser.isSet(QStringLiteral("send-dives"))) {
        divesLeft = positiveNumber(parser.value(QStringLiteral("send-dives")),
                                   QStringLiteral("--send-dives"));
        dives.setInterval(positiveNumber(parser.value(QStringLiteral("dive-interval")),
                                         QStringLiteral("--dive-interval")));
        QObject::connect(&dives, &QTimer::timeout, [&] {
            Kavvix::cDiveResult dive;
            Kavvix::SampleMeet::fillJudgedDive(dive, ++sampleDives);
            sendDive(dive);
            if (sampleDives == divesLeft)
                dives.stop();
        });
        // As a console at the pool: nothing is judged before someone listens, so the dives
        // are not lost in a line nobody reads yet.
        if (parser.isSet(QStringLiteral("now")))
            dives.start();
        else
            QObject::connect(
                &simulator, &Kavvix::ConsoleSimulator::frameReceived, &dives,
                [&dives] { dives.start(); }, Qt::SingleShotConnection);
    }
    std::unique_ptr<SimulatorCommands> commands;
    if (parser.isSet(QStringLiteral("commands"))) {
        commands = std::make_unique<SimulatorCommands>(simulator);
        QObject::connect(commands.get(), &SimulatorCommands::diveRequested, sendDive);
        QObject::connect(commands.get(), &SimulatorCommands::problem, [&](const QString &text) {
            console.err << "kavvix simulate: " << text << '\n';
            console.err.flush();
        });
    }

    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [] { QCoreApplication::quit(); });

    console.out << "Console simulator on " << simulator.slavePath() << '\n'
                << "Map a port number to it: export " << Kavvix::modKavvix::PortVariable(port)
                << '=' << simulator.slavePath() << '\n'
                << "Ctrl-C stops.\n";
    if (divesLeft > 0 && !parser.isSet(QStringLiteral("now")))
        console.out << "The judged dives start when the other end sends its first frame.\n";
    console.out.flush();
    QCoreApplication::exec();

    console.out << "Stopped after " << simulator.frames().size() << " frames received.\n";
    if (parser.isSet(QStringLiteral("print-rows")))
        simulator.printDiverRows(console.out);
    return Success;
}

} // namespace KavvixCli
