#pragma once

#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QVariant>

#include <array>
#include <memory>

namespace KavvixTest {

// Judged dive n of event E12 as the sample console reports it (twelve divers a round), with
// another total when one is given.
inline std::unique_ptr<Kavvix::cDiveResult> judgedDive(int n, float totalScore = -1) {
    auto dive = std::make_unique<Kavvix::cDiveResult>();
    Kavvix::SampleMeet::fillJudgedDive(*dive, n);
    if (totalScore >= 0)
        dive->setTotalScore(totalScore);
    return dive;
}

inline void sendDive(Kavvix::ConsoleSimulator &simulator, int n, float totalScore = -1) {
    simulator.sendDiveResult(*judgedDive(n, totalScore));
}

// A judged dive of any round, order and awards, as the benchmarks send them: a plain value,
// turned into the console's record (otherwise the sample's first dive) only when it goes out.
struct SentDive {
    qint16 round = 1;
    qint16 divingOrder = 1;
    std::array<float, 9> judges{};
    float totalScore = 0;
};

inline std::unique_ptr<Kavvix::cDiveResult> toRecord(const SentDive &sent) {
    auto dive = judgedDive(1, sent.totalScore);
    dive->setDiveRound(sent.round);
    dive->setDivingOrder(sent.divingOrder);
    for (int j = 0; j < 9; ++j)
        dive->setProperty(QStringLiteral("J%1Score").arg(j + 1).toLatin1().constData(),
                          QVariant(sent.judges[std::size_t(j)]));
    return dive;
}

inline void sendDive(Kavvix::ConsoleSimulator &simulator, const SentDive &sent) {
    simulator.sendDiveResult(*toRecord(sent));
}

} // namespace KavvixTest
