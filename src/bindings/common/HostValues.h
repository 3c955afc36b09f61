#pragma once

#include <array>
#include <string>

namespace Kavvix {
class ScoreSetObject;
class cDiveResult;
} // namespace Kavvix

// Plain copies of what the library hands a host: UTF-8 texts, ints and doubles, with the
// documented field names, for bindings that cannot hold Qt types.
namespace Kavvix::Bindings {

// The double whose shortest text is the float's shortest text (2.4f gives 2.4), so a host
// sees the value the console wrote rather than the float's binary neighbour.
double hostNumber(float value);

struct ScoreSetValues {
    bool DataIsValid = false;
    std::string PrimaryDiver;
    std::string SynchroPartner;
    int DiverNumber = 0;
    int CurrentRound = 0;
    std::string DiveNumber;
    std::string DivePosition;
    double DiveDD = 0;
    std::array<double, 10> JudgeScores{}; // [0] is Judge1Score
    double DiveTotal = 0;
    double StartingScore = 0;
    double CurrentTotal = 0;
};

struct DiveResultValues {
    int EventNumberN = 0;
    std::string EventNumberA;
    std::string Stage;
    std::string InsertOrder;
    int DiveRound = 0;
    int DivingOrder = 0;
    std::string DiveNumber;
    std::string DivePos;
    double DiveDD = 0;
    std::array<double, 9> JScores{}; // [0] is J1Score
    std::string BALKflag;
    std::string FAILflag;
    double DiveTotal = 0;
    double TotalScore = 0;
    std::string BoardLevel;
};

ScoreSetValues readScoreSet(const ScoreSetObject &parser);
DiveResultValues readDiveResult(const cDiveResult &dive);

} // namespace Kavvix::Bindings
