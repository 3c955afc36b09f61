#include "omnisport/DiveResultFrame.h"
#include "OmniSportFrames.h"

#include <kavvix/cDiveResult.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

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
        cDakProcessor processor;
        QString encoded;
        QObject::connect(&processor, &cDakProcessor::DiveResult,
                         [&](cDiveResult *r) { encoded = DiveResultFrame::encode(*r); });
        feed(processor, frame("305", d));
        EXPECT_EQ(encoded, frame("305", d));
    }
}

} // namespace
