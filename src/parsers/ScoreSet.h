#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace Kavvix::Parsers {

// The dive facts and judges' scores that both parser classes hold and expose.
struct ScoreSet {
    static constexpr int JudgeCount = 10;

    bool DataIsValid = false;
    QString PrimaryDiver;
    QString SynchroPartner;
    qint16 DiverNumber = 0;
    qint16 CurrentRound = 0;
    QString DiveNumber;
    QString DivePosition;
    float DiveDD = 0;
    std::array<float, JudgeCount> JudgeScore{}; // judge 1 at index 0
    float DiveTotal = 0;
    float StartingScore = 0;
    float CurrentTotal = 0;

    // Everything back to its default, apart from DivePosition, which the host may have set
    // for a console that does not send it.
    void clearKeepingPosition() {
        QString position = std::move(DivePosition);
        *this = ScoreSet();
        DivePosition = std::move(position);
    }
};

} // namespace Kavvix::Parsers
