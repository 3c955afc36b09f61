#include "omnisport/DiveResultFrame.h"
#include "OmniSportFrames.h"

#include <kavvix/cDiveResult.h>

#include <QVariantMap>
#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

cDiveResult *withProperties(cDiveResult &record, const QVariantMap &values) {
    for (auto it = values.begin(); it != values.end(); ++it)
        record.setProperty(qPrintable(it.key()), it.value());
    return &record;
}

// The judged dive that "kavvix simulate --send-dives" sends first, as it has always been sent.
TEST(DiveResultFrame, EncodesEachFieldInItsPlace) {
    cDiveResult dive;
    withProperties(dive, {{"EventNumberN", 12},
                          {"EventNumberA", "A"},
                          {"InsertOrder", "0"},
                          {"DiveRound", 1},
                          {"DivingOrder", 1},
                          {"DiveNumber", "105"},
                          {"DivePos", "B"},
                          {"DiveDD", 2.4f},
                          {"BoardLevel", "3M"},
                          {"J1Score", 6.5f},
                          {"J2Score", 7.0f},
                          {"J3Score", 7.0f},
                          {"J4Score", 6.5f},
                          {"J5Score", 7.5f},
                          {"J6Score", 7.0f},
                          {"J7Score", 6.5f},
                          {"DiveTotal", 50.4f},
                          {"TotalScore", 50.4f}});
    EXPECT_EQ(DiveResultFrame::encode(dive),
              frame("305", "012A00010001 105B2.43M        6.5 7.0 7.0 6.5 7.5 7.0 6.5 0.0 0.0   "
                           "50.40 50.40"));
}

// A frame decoded by the receiver (its reading of every field is pinned by the processor's
// tests) and encoded again comes out as it went in: each field is written where and as it is
// read. Between them the frames fill every field of the record.
TEST(DiveResultFrame, DecodedFramesEncodeToTheSameFrame) {
    const QString data[] = {
        "012AF 0300125231D2.43M        8.5 8.5 0.0 7.010.0 0.5 9.5 6.0 5.5N  57.60312.45",
        "999Z91999999 105A9.9Platform 99.910.0 9.5 9.0 8.5 8.0 7.5 7.0 6.5BF999.99999.99",
        "000 0 000000     0.0          0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0    0.00  0.00",
    };
    for (const QString &d : data) {
        ASSERT_EQ(d.size(), DiveResultFrame::DataWidth) << qPrintable(d);
        cDakProcessor processor;
        QString encoded;
        QObject::connect(&processor, &cDakProcessor::DiveResult,
                         [&](cDiveResult *r) { encoded = DiveResultFrame::encode(*r); });
        feed(processor, frame("305", d));
        EXPECT_EQ(encoded, frame("305", d));
    }
}

} // namespace
