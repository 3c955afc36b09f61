#include "omnisport/DiveResultFrame.h"
#include "OmniSportFrames.h"

#include <kavvix/cDiveResult.h>

#include <QMetaProperty>
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

// Every property survives the trip through the one field table: encoded, then decoded by the
// receiver. Texts fill their fields, as the receiver keeps a field's blanks.
TEST(DiveResultFrame, EncodedRecordsDecodeToTheSameRecord) {
    const QVariantMap records[] = {
        {{"EventNumberN", 12},        {"EventNumberA", "A"},  {"Stage", "F"},
         {"InsertOrder", " "},        {"DiveRound", 3},       {"DivingOrder", 12},
         {"DiveNumber", "5231"},      {"DivePos", "D"},       {"DiveDD", 2.4f},
         {"BoardLevel", "3M       "}, {"J1Score", 8.5f},      {"J2Score", 8.5f},
         {"J3Score", 0.0f},           {"J4Score", 7.0f},      {"J5Score", 10.0f},
         {"J6Score", 0.5f},           {"J7Score", 9.5f},      {"J8Score", 6.0f},
         {"J9Score", 5.5f},           {"BALKflag", "N"},      {"FAILflag", " "},
         {"DiveTotal", 57.6f},        {"TotalScore", 312.45f}},
        {{"EventNumberN", 999},       {"EventNumberA", "Z"},  {"Stage", "9"},
         {"InsertOrder", "1"},        {"DiveRound", 99},      {"DivingOrder", 9999},
         {"DiveNumber", " 105"},      {"DivePos", "A"},       {"DiveDD", 9.9f},
         {"BoardLevel", "Platform "}, {"J1Score", 99.9f},     {"J2Score", 10.0f},
         {"J3Score", 9.5f},           {"J4Score", 9.0f},      {"J5Score", 8.5f},
         {"J6Score", 8.0f},           {"J7Score", 7.5f},      {"J8Score", 7.0f},
         {"J9Score", 6.5f},           {"BALKflag", "B"},      {"FAILflag", "F"},
         {"DiveTotal", 999.99f},      {"TotalScore", 999.99f}},
        {{"EventNumberN", 0},         {"EventNumberA", " "}, {"Stage", "0"},
         {"InsertOrder", " "},        {"DiveRound", 0},      {"DivingOrder", 0},
         {"DiveNumber", "    "},      {"DivePos", " "},      {"DiveDD", 0.0f},
         {"BoardLevel", "         "}, {"J1Score", 0.0f},     {"J2Score", 0.0f},
         {"J3Score", 0.0f},           {"J4Score", 0.0f},     {"J5Score", 0.0f},
         {"J6Score", 0.0f},           {"J7Score", 0.0f},     {"J8Score", 0.0f},
         {"J9Score", 0.0f},           {"BALKflag", " "},     {"FAILflag", " "},
         {"DiveTotal", 0.0f},         {"TotalScore", 0.0f}},
    };
    const QMetaObject &mo = cDiveResult::staticMetaObject;
    for (const QVariantMap &values : records) {
        ASSERT_EQ(values.size(), mo.propertyCount() - mo.propertyOffset()); // every property
        cDiveResult original;
        const QString encoded = DiveResultFrame::encode(*withProperties(original, values));
        ASSERT_EQ(encoded.size(), DiveResultFrame::Length) << qPrintable(encoded);

        cDakProcessor processor;
        QVariantMap decoded;
        QObject::connect(&processor, &cDakProcessor::DiveResult, [&](cDiveResult *r) {
            for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i)
                decoded.insert(mo.property(i).name(), mo.property(i).read(r));
        });
        feed(processor, encoded);
        for (auto it = values.begin(); it != values.end(); ++it)
            EXPECT_EQ(decoded.value(it.key()), original.property(qPrintable(it.key())))
                << qPrintable(it.key() + " in " + encoded);
    }
}

} // namespace
