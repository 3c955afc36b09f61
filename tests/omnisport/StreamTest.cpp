#include "OmniSportFrames.h"

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

// A frame runs from the latest SYN to the next ETB; texts of two characters are neither. Positions
// fit 16 bits: up to 32767 nothing moves; past it only what lies before the current SYN is kept
// (nothing when no frame is being collected), and a partial frame too long to ever be cut is
// abandoned. Either way both receivers understand the frame.
TEST(Cutting, FramesAndTheirPositions) {
    using modKavvix::ETB, modKavvix::SYN;
    const QString overrun = frame("900", "01");
    const std::pair<QStringList, QStringList> cases[] = {
        {chars("ab" + ctl(ETB) + overrun), {"Found SYN at 4", "Found ETB at 22"}},
        {chars(ctl(SYN) + "x" + overrun), {"Found SYN at 1", "Found SYN at 3", "Found ETB at 21"}},
        {QStringList{"x" + ctl(SYN)} << chars(overrun.chopped(1)) << ctl(ETB) + "x"
                                     << chars(overrun),
         {"Found SYN at 3", "Found SYN at 23", "Found ETB at 41"}},
        {chars(QString(32748, 'x') + overrun), {"Found SYN at 32749", "Found ETB at 32767"}},
        {chars(QString(32760, 'x') + overrun), {"Found SYN at 32761", "Found ETB at 19"}},
        {chars(QString(40000, 'x') + overrun), {"Found SYN at 7234", "Found ETB at 7252"}},
        {chars(ctl(SYN) + QString(40000, 'x') + overrun),
         {"Found SYN at 1", "Found SYN at 7235", "Found ETB at 7253"}},
    };
    for (const auto &[stream, positions] : cases) {
        DebugLog log;
        cDakProcessor processor;
        cDakResponse response;
        Events events(processor), answers(response);
        feed(processor, stream);
        feed(response, stream);
        QStringList seen;
        for (const LogEntry &e : log.entries())
            seen << e.message;
        EXPECT_EQ(seen, positions);
        EXPECT_EQ(events + answers, QStringList({"E:Buffer Overrun", "Buffer Overrun"}));
    }
}

} // namespace
