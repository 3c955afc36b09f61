#include "common/NumericText.h"

#include <kavvix/Error.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Kavvix;

namespace {

struct ValueCase {
    const char16_t *text;
    double expected;
};

class NumericValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumericValue, ReadsLeadingNumber) {
    const ValueCase c = GetParam();
    EXPECT_DOUBLE_EQ(NumericText::valueOf(QStringView(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NumericValue,
    ::testing::Values(
        ValueCase{u"", 0}, ValueCase{u"abc", 0}, ValueCase{u"   ", 0}, ValueCase{u"-", 0},
        ValueCase{u".", 0}, ValueCase{u"42", 42}, ValueCase{u"0105", 105},
        ValueCase{u"7.5", 7.5}, ValueCase{u".5", 0.5}, ValueCase{u"-2.25", -2.25},
        ValueCase{u"+3", 3}, ValueCase{u"1 2 3", 123}, ValueCase{u" \t\n- 4 . 5", -4.5},
        ValueCase{u"12abc", 12}, ValueCase{u"1.2.3", 1.2}, ValueCase{u"105B", 105},
        ValueCase{u"1E3", 1000}, ValueCase{u"1e3", 1000}, ValueCase{u"2.5E-1", 0.25},
        ValueCase{u"1E+2", 100}, ValueCase{u"1E", 1}, ValueCase{u"1E+", 1},
        ValueCase{u"1 E 2", 100}, ValueCase{u"E5", 0}, ValueCase{u"&HFF", 255},
        ValueCase{u"&hff", 255}, ValueCase{u"&H 1 0", 16}, ValueCase{u"&O17", 15},
        ValueCase{u"&O19", 1}, ValueCase{u"&X1", 0}, ValueCase{u"&H", 0},
        ValueCase{u"1E-400", 0}, ValueCase{u"0.000E999", 0}, ValueCase{u"8.5 ", 8.5},
        ValueCase{u" 8.5", 8.5}, ValueCase{u"2,5", 2}, ValueCase{u"\r5", 0}));

TEST(NumericValueOverflow, BeyondDoubleRangeIsNumericOverflow) {
    for (const char16_t *text : {u"1E400", u"-1E309", u"9E99999999999"}) {
        try {
            NumericText::valueOf(QStringView(text));
            FAIL() << "no overflow for " << QString::fromUtf16(text).toStdString();
        } catch (const Error &e) {
            EXPECT_EQ(e.code(), 6);
        }
    }
    EXPECT_DOUBLE_EQ(NumericText::valueOf(u"1.7E308"), 1.7e308);
}

struct RoundCase {
    double value;
    qint32 expected; // INT32_MIN marks an expected overflow of the 16-bit rounding
};

TEST(RoundToInt16, HalvesToEvenAndOverflowAtTheEdges) {
    const RoundCase cases[] = {{2.5, 2},       {3.5, 4},       {12.5, 12},     {13.5, 14},
                               {-2.5, -2},     {-3.5, -4},     {0.49, 0},      {0.51, 1},
                               {32767, 32767}, {32767.4, 32767}, {-32768, -32768},
                               {-32768.5, -32768}, {32767.5, INT32_MIN}, {32768, INT32_MIN},
                               {-32769, INT32_MIN}, {1e10, INT32_MIN}};
    for (const RoundCase &c : cases) {
        if (c.expected == INT32_MIN) {
            try {
                NumericText::roundToInt16(c.value);
                ADD_FAILURE() << "no overflow for " << c.value;
            } catch (const Error &e) {
                EXPECT_EQ(e.code(), Error::NumericOverflow);
            }
        } else {
            EXPECT_EQ(NumericText::roundToInt16(c.value), c.expected) << c.value;
        }
    }
}

TEST(RoundToInt32, HalvesToEvenAndOverflow) {
    EXPECT_EQ(NumericText::roundToInt32(81.5), 82);
    EXPECT_EQ(NumericText::roundToInt32(2147483647.0), 2147483647);
    EXPECT_THROW(NumericText::roundToInt32(2147483647.5), Error);
    EXPECT_THROW(NumericText::roundToInt32(-2147483649.0), Error);
}

TEST(ToSingle, NearestFloatAndOverflowBeyondFloatRange) {
    EXPECT_EQ(NumericText::toSingle(2.4), 2.4f);
    EXPECT_EQ(NumericText::toSingle(-1e-50), -0.0f);
    EXPECT_EQ(NumericText::toSingle(3.4028235e38), std::numeric_limits<float>::max());
    EXPECT_THROW(NumericText::toSingle(1e39), Error);
    EXPECT_THROW(NumericText::toSingle(-1e39), Error);
}

TEST(PlainDecimal, ShortestFormWithoutPaddingOrExponent) {
    const std::pair<double, const char *> cases[] = {
        {105, "105"},   {0, "0"},     {-0.0, "0"},   {1.5, "1.5"},  {2.4, "2.4"},
        {-12, "-12"},   {1e20, "100000000000000000000"}, {0.001, "0.001"}, {5231, "5231"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(NumericText::plainDecimal(value), QString::fromLatin1(text)) << value;
}

} // namespace
