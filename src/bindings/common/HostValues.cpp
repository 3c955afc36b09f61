#include "HostValues.h"

#include <kavvix/ScoreSetObject.h>
#include <kavvix/cDiveResult.h>

#include <charconv>
#include <cstdlib>
#include <iterator>

namespace Kavvix::Bindings {

namespace {

std::string utf8(const QString &text) {
    return text.toStdString();
}

} // namespace

double hostNumber(float value) {
    char digits[32];
    const auto end = std::to_chars(std::begin(digits), std::end(digits) - 1, value).ptr;
    *end = '\0';
    return std::strtod(digits, nullptr);
}

ScoreSetValues readScoreSet(const ScoreSetObject &parser) {
    ScoreSetValues v;
    v.DataIsValid = parser.DataIsValid();
    v.PrimaryDiver = utf8(parser.PrimaryDiver());
    v.SynchroPartner = utf8(parser.SynchroPartner());
    v.DiverNumber = parser.DiverNumber();
    v.CurrentRound = parser.CurrentRound();
    v.DiveNumber = utf8(parser.DiveNumber());
    v.DivePosition = utf8(parser.DivePosition());
    v.DiveDD = hostNumber(parser.DiveDD());
    const float judges[] = {parser.Judge1Score(), parser.Judge2Score(), parser.Judge3Score(),
                            parser.Judge4Score(), parser.Judge5Score(), parser.Judge6Score(),
                            parser.Judge7Score(), parser.Judge8Score(), parser.Judge9Score(),
                            parser.Judge10Score()};
    for (std::size_t i = 0; i < v.JudgeScores.size(); ++i)
        v.JudgeScores[i] = hostNumber(judges[i]);
    v.DiveTotal = hostNumber(parser.DiveTotal());
    v.StartingScore = hostNumber(parser.StartingScore());
    v.CurrentTotal = hostNumber(parser.CurrentTotal());
    return v;
}

DiveResultValues readDiveResult(const cDiveResult &dive) {
    DiveResultValues v;
    v.EventNumberN = dive.EventNumberN();
    v.EventNumberA = utf8(dive.EventNumberA());
    v.Stage = utf8(dive.Stage());
    v.InsertOrder = utf8(dive.InsertOrder());
    v.DiveRound = dive.DiveRound();
    v.DivingOrder = dive.DivingOrder();
    v.DiveNumber = utf8(dive.DiveNumber());
    v.DivePos = utf8(dive.DivePos());
    v.DiveDD = hostNumber(dive.DiveDD());
    const float judges[] = {dive.J1Score(), dive.J2Score(), dive.J3Score(),
                            dive.J4Score(), dive.J5Score(), dive.J6Score(),
                            dive.J7Score(), dive.J8Score(), dive.J9Score()};
    for (std::size_t i = 0; i < v.JScores.size(); ++i)
        v.JScores[i] = hostNumber(judges[i]);
    v.BALKflag = utf8(dive.BALKflag());
    v.FAILflag = utf8(dive.FAILflag());
    v.DiveTotal = hostNumber(dive.DiveTotal());
    v.TotalScore = hostNumber(dive.TotalScore());
    v.BoardLevel = utf8(dive.BoardLevel());
    return v;
}

} // namespace Kavvix::Bindings
