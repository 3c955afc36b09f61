#pragma once

#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QString>
#include <QVariant>

#include <array>
#include <memory>

namespace KavvixTest {

// A judged dive as a test sends it: a plain value, copied and changed freely, turned into the
// console's dive result record only when it goes out.
struct SentDive {
    qint16 eventNumber = 1;
    QChar eventLetter = QLatin1Char('A');
    QChar stage = QLatin1Char('0');
    QChar insertOrder = QLatin1Char('0');
    qint16 round = 1;
    qint16 divingOrder = 1;
    QString diveNumber = QStringLiteral("105");
    QChar position = QLatin1Char('B');
    float dd = 2.4f;
    QString boardLevel = QStringLiteral("3M");
    std::array<float, 9> judges{};
    QChar balk = QLatin1Char(' ');
    QChar fail = QLatin1Char(' ');
    float diveTotal = 0;
    float totalScore = 0;
};

// A dive of round 1 by the diving order, its total growing with the order: enough to tell
// dives apart when only their arrival matters.
inline SentDive plainDive(int order) {
    SentDive dive;
    dive.divingOrder = qint16(order);
    dive.judges = {6.5f, 7.0f, 7.0f, 0, 0, 0, 0, 0, 0};
    dive.totalScore = 40.0f + float(order);
    return dive;
}

// The console's record of the dive.
inline std::unique_ptr<Kavvix::cDiveResult> toRecord(const SentDive &d) {
    auto record = std::make_unique<Kavvix::cDiveResult>();
    Kavvix::cDiveResult &r = *record;
    r.setEventNumberN(d.eventNumber);
    r.setEventNumberA(d.eventLetter);
    r.setStage(d.stage);
    r.setInsertOrder(d.insertOrder);
    r.setDiveRound(d.round);
    r.setDivingOrder(d.divingOrder);
    r.setDiveNumber(d.diveNumber);
    r.setDivePos(d.position);
    r.setDiveDD(d.dd);
    r.setBoardLevel(d.boardLevel);
    for (int j = 0; j < 9; ++j)
        r.setProperty(QStringLiteral("J%1Score").arg(j + 1).toLatin1().constData(),
                      QVariant(d.judges[std::size_t(j)]));
    r.setBALKflag(d.balk);
    r.setFAILflag(d.fail);
    r.setDiveTotal(d.diveTotal);
    r.setTotalScore(d.totalScore);
    return record;
}

inline void sendDive(Kavvix::ConsoleSimulator &simulator, const SentDive &d) {
    simulator.sendDiveResult(*toRecord(d));
}

} // namespace KavvixTest
