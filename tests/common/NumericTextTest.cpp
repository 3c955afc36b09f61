#include "common/NumericText.h"

#include <kavvix/Error.h>

#include <gtest/gtest.h>

#include <cfenv>

#include <cmath>
#include <limits>

using namespace Kavvix;

namespace {

constexpr double Overflow = std::numeric_limits<double>::infinity();

// The function's result, or Overflow when it throws Error (numeric overflow).
template <typename F> double valueOrOverflow(F f) {
    try {
        return f();
    } catch (const Error &e) {
        EXPECT_EQ(e.code(), Error::NumericOverflow);
        return Overflow;
    }
}

using ValueCases = std::initializer_list<std::pair<const char16_t *, double>>;

TEST(NumericText, ValueOfEveryForm) {
    const ValueCases decimals = {
        {u"", 0},        {u"abc", 0},     {u"-", 0},
        {u".", 0},       {u"42", 42},     {u"0105", 105},
        {u"7.5", 7.5},   {u".5", 0.5},    {u"-2.25", -2.25},
        {u"+3", 3},      {u"1 2 3", 123}, {u"12abc", 12},
        {u"1.2.3", 1.2}, {u"\r5", 0},     {u" \t\n- 4 . 5", -4.5},
    };
    const ValueCases exponentsAndRadixes = {
        {u"E5", 0},           {u"1E3", 1000},        {u"1e3", 1000},
        {u"2.5E-1", 0.25},    {u"1E+2", 100},        {u"1E", 1},
        {u"1E+", 1},          {u"1 E 2", 100},       {u"&HFF", 255},
        {u"&hff", 255},       {u"&H 1 0", 16},       {u"&O17", 15},
        {u"&O19", 1},         {u"&X1", 0},           {u"&H", 0},
        {u"1E-400", 0},       {u"0.000E999", 0},     {u"1.7E308", 1.7e308},
        {u"1E400", Overflow}, {u"-1E309", Overflow}, {u"9E99999999999", Overflow},
    };
    for (const ValueCases &cases : {decimals, exponentsAndRadixes})
        for (const auto &[text, expected] : cases)
            EXPECT_DOUBLE_EQ(
                valueOrOverflow([&] { return NumericText::valueOf(QStringView(text)); }), expected)
                << QString::fromUtf16(text).toStdString();
}

// Halves to the even neighbour; out of range is numeric overflow.
TEST(NumericText, Rounding) {
    const std::pair<double, double> int16Cases[] = {
        {2.5, 2},           {3.5, 4},           {-2.5, -2},
        {0.51, 1},          {-32768.5, -32768}, {32767.5, Overflow},
        {-32769, Overflow},
    };
    // The host's rounding mode must not change halves to even.
    for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        for (const auto &[value, expected] : int16Cases)
            EXPECT_EQ(valueOrOverflow([&] { return NumericText::roundToInt16(value); }), expected)
                << value << " in rounding mode " << mode;
    }
    std::fesetround(FE_TONEAREST);
    const std::pair<double, double> int32Cases[] = {
        {81.5, 82}, {2147483647.0, 2147483647}, {2147483647.5, Overflow}};
    for (const auto &[value, expected] : int32Cases)
        EXPECT_EQ(valueOrOverflow([&] { return NumericText::roundToInt32(value); }), expected)
            << value;
}

TEST(NumericText, ToSingleAndPlainDecimal) {
    EXPECT_EQ(NumericText::toSingle(3.4028235e38), std::numeric_limits<float>::max());
    EXPECT_EQ(valueOrOverflow([] { return NumericText::toSingle(-1e39); }), Overflow);
    const std::pair<double, const char *> cases[] = {
        {105, "105"},    {-0.0, "0"}, {2.4, "2.4"}, {-12, "-12"}, {1e20, "100000000000000000000"},
        {0.001, "0.001"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(NumericText::plainDecimal(value), QString::fromLatin1(text)) << value;
}

} // namespace
