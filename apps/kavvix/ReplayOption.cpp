#include "ReplayOption.h"

#include <kavvix/simulator/ConsoleSimulator.h>

#include <cmath>

namespace KavvixCli::ReplayOption {

void describe(QCommandLineParser &parser) {
    parser.addOptions({
        {QStringLiteral("replay"),
         QStringLiteral("Play a recording (serve/monitor --record) once the other end has "
                        "sent its first frame."),
         QStringLiteral("FILE")},
        {QStringLiteral("speed"),
         QStringLiteral("Replay X times faster than recorded; 0 as fast as possible."),
         QStringLiteral("X"), QStringLiteral("1")},
    });
}

std::unique_ptr<RecordingPlayer> start(const QCommandLineParser &parser,
                                       Kavvix::ConsoleSimulator &simulator, Console &console) {
    if (!parser.isSet(QStringLiteral("replay")))
        return nullptr;
    bool ok = false;
    const double speed = parser.value(QStringLiteral("speed")).toDouble(&ok);
    if (!ok || !std::isfinite(speed) || speed < 0)
        throw UsageError(QStringLiteral("--speed takes a number from 0 on, not '%1'")
                             .arg(parser.value(QStringLiteral("speed"))));
    QList<Kavvix::Recording::Byte> bytes;
    QString problem;
    if (!Kavvix::Recording::read(parser.value(QStringLiteral("replay")), bytes, problem))
        throw UserError(problem);
    auto player = std::make_unique<RecordingPlayer>(
        bytes, speed, [&simulator](const QByteArray &chunk) { simulator.sendRaw(chunk); },
        [&simulator] { return Kavvix::ConsoleSimulator::MaxQueued - simulator.queuedBytes(); });
    RecordingPlayer *raw = player.get();
    QObject::connect(
        &simulator, &Kavvix::ConsoleSimulator::frameReceived, raw, [raw] { raw->start(); },
        Qt::SingleShotConnection);
    QObject::connect(raw, &RecordingPlayer::done, raw, [&console](qsizetype sent) {
        console.out << "replayed " << sent << " bytes\n";
        console.out.flush();
    });
    return player;
}

} // namespace KavvixCli::ReplayOption
