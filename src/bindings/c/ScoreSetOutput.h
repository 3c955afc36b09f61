#pragma once

#include "Boundary.h"
#include "bindings/common/HostValues.h"

#include <kavvix/kavvix_c.h>

namespace Kavvix::CInterface {

// A parser handle's object and the copy of its score set that the texts handed out point into.
template <class Parser> struct ParserHandle {
    Parser parser;
    Bindings::ScoreSetValues values;
};

// Copies the parser's score set into the handle and, when out is not NULL, points out at it.
template <class Parser> void reportScoreSet(ParserHandle<Parser> &handle, kavvix_score_set *out) {
    handle.values = Bindings::readScoreSet(handle.parser);
    if (out == nullptr)
        return;
    const Bindings::ScoreSetValues &v = handle.values;
    *out = kavvix_score_set{v.DataIsValid,
                            v.PrimaryDiver.c_str(),
                            v.SynchroPartner.c_str(),
                            v.DiverNumber,
                            v.CurrentRound,
                            v.DiveNumber.c_str(),
                            v.DivePosition.c_str(),
                            v.DiveDD,
                            {},
                            v.DiveTotal,
                            v.StartingScore,
                            v.CurrentTotal};
    for (std::size_t i = 0; i < v.JudgeScores.size(); ++i)
        out->JudgeScore[i] = v.JudgeScores[i];
}

// The status of a parse: a message from the parser becomes the last error.
inline int parseStatus(const QString &message) {
    if (message.isEmpty())
        return KAVVIX_OK;
    setLastError(message);
    return KAVVIX_ERROR_PARSE;
}

// One parse through a parser handle of the table: the score set to out, the status returned.
template <class Table, class CHandle>
int parseThrough(Table &table, CHandle *parser, const char *text, kavvix_score_set *out) {
    return guarded([&] {
        const auto handle = table.find(parser);
        const QString message = handle->parser.ParseData(textArgument(text, "text"));
        reportScoreSet(*handle, out);
        return parseStatus(message);
    });
}

} // namespace Kavvix::CInterface
