#include <kavvix/modKavvix.h>

#include "common/TextPosition.h"

#include <gtest/gtest.h>

using namespace Kavvix;

namespace {

TEST(ModKavvix, VersionIsMajorMinorRevision) { EXPECT_EQ(modKavvix::DLLVersion(), "1.6.0"); }

TEST(ModKavvix, LastPositionOfIsOneBasedFromTheEnd) {
    const QString stx(QChar(modKavvix::STX));
    EXPECT_EQ(modKavvix::LastPositionOf(stx, QString()), 0);
    EXPECT_EQ(modKavvix::LastPositionOf(QString(), QStringLiteral("abc")), 0);
    EXPECT_EQ(modKavvix::LastPositionOf(stx, QStringLiteral("abc")), 0);
    EXPECT_EQ(modKavvix::LastPositionOf(stx, stx + QStringLiteral("ab") + stx + QStringLiteral("c")), 4);
    EXPECT_EQ(modKavvix::LastPositionOf(QStringLiteral("a"), QStringLiteral("a")), 1);
    EXPECT_EQ(modKavvix::LastPositionOf(QStringLiteral("ab"), QStringLiteral("abab")), 0);
}

// Sums chosen to land on the edges of the two-digit form; each character is one byte.
TEST(ModKavvix, ChecksumIsTwoUpperCaseHexDigitsOfTheByteSum) {
    const struct {
        QString text;
        const char *expected;
    } cases[] = {
        {QString(), "00"},
        {QString(QChar(10)), "0A"},
        {QString(QChar(15)), "0F"},
        {QString(QChar(16)), "10"},
        {QString(QChar(255)), "FF"},
        {QString(QChar(255)) + QChar(1), "00"},
        {QString(QChar(200)) + QChar(100), "2C"},
        {QStringLiteral("1") + QStringLiteral("0000000") + QChar(1) + QStringLiteral("200") + QChar(4), "18"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(modKavvix::CalculateChecksum(c.text), QLatin1String(c.expected));
}

TEST(ModKavvix, VersionRequestFrameIsTheSeventeenBytesOfTheProtocol) {
    const QByteArray expected = QByteArray::fromHex("1631303030303030300132303004313817");
    EXPECT_EQ(modKavvix::BuildFrame(QStringLiteral("200"), QString()).toLatin1(), expected);
}

TEST(TextPosition, CountsFromOneAndStopsAtTheEnd) {
    const QString text = QStringLiteral("abcdef");
    EXPECT_EQ(textAt(text, 1, 2), u"ab");
    EXPECT_EQ(textAt(text, 5, 10), u"ef");
    EXPECT_EQ(textAt(text, 7, 1), u"");
    EXPECT_EQ(textAt(text, 0, 1), u"");
    EXPECT_EQ(textAt(text, 3, 0), u"");
}

} // namespace
