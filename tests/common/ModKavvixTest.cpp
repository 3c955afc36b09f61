#include <kavvix/modKavvix.h>

#include <gtest/gtest.h>

using namespace Kavvix;

namespace {

TEST(ModKavvix, LastPositionOfIsOneBasedFromTheEnd) {
    const QString stx(QChar(modKavvix::STX));
    const std::tuple<QString, QString, qint32> cases[] = {
        {stx, "", 0},  {"", "abc", 0},    {stx, "abc", 0}, {stx, stx + "ab" + stx + "c", 4},
        {"a", "a", 1}, {"ab", "abab", 0}, // only a single character is looked for
    };
    for (const auto &[what, text, position] : cases)
        EXPECT_EQ(modKavvix::LastPositionOf(what, text), position);
}

// Sums chosen to land on the edges of the two-digit form; each character is one byte, and one
// beyond Latin-1 travels as '?'.
TEST(ModKavvix, ChecksumIsTwoUpperCaseHexDigitsOfTheByteSum) {
    const std::pair<const char *, const char *> cases[] = {
        {"", "00"}, {"0f", "0F"}, {"ff", "FF"}, {"ff01", "00"}, {"c864", "2C"}};
    for (const auto &[bytes, expected] : cases)
        EXPECT_EQ(modKavvix::CalculateChecksum(QString::fromLatin1(QByteArray::fromHex(bytes))),
                  QLatin1String(expected));
    EXPECT_EQ(modKavvix::CalculateChecksum(QString(QChar(0x20AC))), "3F");
}

} // namespace
