#include "ParserTestSupport.h"

#include <kavvix/clsDaktronicsData.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

// A whole 590-character score record. Fields that are not stored hold digits, so a field
// stored from the wrong place shows up as a wrong number.
QString fullRecord() {
    QString r = "12  Jane Doe          " + QString(15, u'9') + " 55.20" + "0105" +
                QString(30, u'8') + "p2.4" + "7.5 8.0 7.0 6.5 6.0 5.5 5.0 4.5 4.0 " + "155.70";
    for (int block = 0; block < 10; ++block)
        r += "77" + QString(20, u'6') + QString(15, u'5') + "444444";
    return r + QString(26, u'3') + QString(9, u'2') + "03";
}

TEST(DaktronicsData, WholeRecordStoresEveryFieldUntilInitializeItems) {
    ASSERT_EQ(fullRecord().size(), 590);
    clsDaktronicsData d;
    d.setSynchroPartner("Partner");
    d.setStartingScore(1.5f);
    d.setJudge10Score(2.0f); // counted too
    EXPECT_EQ(d.ParseData(dakPacket(0, fullRecord())), "");
    const QString names = "DataIsValid DiverNumber PrimaryDiver CurrentTotal DiveNumber "
                          "DivePosition DiveDD Judge1Score Judge2Score Judge3Score Judge4Score "
                          "Judge5Score Judge6Score Judge7Score Judge8Score Judge9Score DiveTotal "
                          "CurrentRound SynchroPartner StartingScore Judge10Score";
    EXPECT_EQ(fields(d, names),
              "true|12|Jane Doe|55.2|105B|B|2.4|7.5|8|7|6.5|6|5.5|5|4.5|4|155.7|3|Partner|1.5|2");
    EXPECT_EQ(d.JudgesScoresReceived(), 10);

    // InitializeItems clears everything but the number of judges required.
    clsDaktronicsData fresh;
    d.setNumberOfJudgesRequired(5);
    fresh.setNumberOfJudgesRequired(5);
    d.InitializeItems();
    const QString cleared = names + " DataIsComplete HaveJudgesScores ExpectedNumberOfJudges";
    EXPECT_EQ(fields(d, cleared) + QString::number(d.JudgesScoresReceived()),
              fields(fresh, cleared) + "0");
}

// Each packet goes into an object that already holds the whole record.
TEST(DaktronicsData, PartialPackets) {
    const QString before = "true|12|Jane Doe|105B|7.5|7|3";
    const std::tuple<int, QString, QString, int> cases[] = {
        // {offset, text, DataIsComplete and fields afterwards, judge scores counted}
        {81, "9.5 8.5 6.5 ", "true|12|Jane Doe|105B|9.5|6.5|3", 3},
        {0, "34  Ann", "true|34|Jane Doe|105B|7.5|7|3", 0},     // EOT inside the name
        {81, "9.5 8.5 6.", "true|12|Jane Doe|105B|9.5|7|3", 2}, // EOT inside judge 3
        {81, "    8.5 ", before, 1},                            // a blank field is ignored
        {107, "9.5 ", before, 0}, // no field starts at 108: the walk stops
        {588, "07" + QString(40, u'1'), "true|12|Jane Doe|105B|7.5|7|7", 0}, // runs off the end
        {0, "00", "false|0|Jane Doe|105B|7.5|7|3", 0},
        {78, "0.0", "false|12|Jane Doe|105B|7.5|7|3", 0}, // DiveDD 0
        {588, "00", "false|12|Jane Doe|105B|7.5|7|0", 0},
    };
    for (const auto &[offset, text, expected, counted] : cases) {
        clsDaktronicsData d;
        d.ParseData(dakPacket(0, fullRecord()));
        d.setDataIsValid(false);
        EXPECT_EQ(d.ParseData(dakPacket(offset, text)), "") << offset;
        EXPECT_EQ(fields(d, "DataIsValid DataIsComplete DiverNumber PrimaryDiver DiveNumber "
                            "Judge1Score Judge3Score CurrentRound"),
                  "true|" + expected)
            << text;
        EXPECT_EQ(d.JudgesScoresReceived(), 9 + counted) << text;
    }
}

TEST(DaktronicsData, PositionLetters) {
    for (const QString &c : QString("sA SA pB PB tC TC fD FD aA bB CC dD XQ 1Q").split(' ')) {
        clsDaktronicsData d;
        d.setDivePosition("Q");
        d.ParseData(dakPacket(77, c.left(1)));
        EXPECT_EQ(d.DivePosition(), c.right(1)) << c;
    }
}

// Every judge score counts, so a packet repeated counts its judges again.
TEST(DaktronicsData, DataIsCompleteCountsRepeatedJudges) {
    clsDaktronicsData d;
    d.setNumberOfJudgesRequired(5);
    d.setCurrentRound(1);
    d.ParseData(dakPacket(0, fullRecord().left(93))); // diver, dive and judges 1 to 3
    EXPECT_FALSE(d.DataIsComplete());
    d.ParseData(dakPacket(0, fullRecord().left(93)));
    EXPECT_TRUE(d.DataIsComplete());
    EXPECT_EQ(d.JudgesScoresReceived(), 6);
    d.setDiveNumber(" ");
    EXPECT_TRUE(d.DataIsComplete()); // reads " B" with the position
    d.setDivePosition("  ");
    EXPECT_FALSE(d.DataIsComplete());
}

// {text, ContainsValidCommand, outcome: Unread, "" read, "(code) ..." a failure; DiverNumber 12
// shows a stored field}
TEST(DaktronicsData, FramingAndFailures) {
    using namespace modKavvix;
    const QString Unread = "-", packet = dakPacket(0, "12");
    const QString noRoom = "(5) Invalid argument: no room for the offset before STX";
    const std::tuple<QString, bool, QString, int> cases[] = {
        {QString(packet).remove(ch(SOH)), false, Unread, 0},
        {QString(packet).remove(ch(STX)), true, Unread, 0},
        {QString(packet).remove(ch(EOT)), false, Unread, 0},
        {ch(SOH) + "005" + packet, false, "", 12}, // the first SOH decides the command
        {ch(EOT) + packet, true, "", 0},           // EOT before STX: no field read
        {packet + packet, true, "", 0},            // the last STX lies past the first EOT
        {ch(SOH) + "004" + ch(STX) + "12" + ch(EOT), true, noRoom, 0}, // STX at 5
        {ch(SOH) + "0042" + ch(STX) + "12" + ch(EOT), true, "", 12},   // STX at 6: offset 0
        {ch(SOH) + "004211E300" + ch(STX) + "12" + ch(EOT), true, "(6) Numeric overflow", 0},
    };
    for (const auto &[text, command, outcome, diver] : cases) {
        clsDaktronicsData d;
        d.setDataIsValid(!outcome.isEmpty()); // the opposite of a read; unread keeps it
        EXPECT_EQ(d.ContainsValidCommand(text), command) << text;
        const bool failed = outcome != Unread && !outcome.isEmpty();
        EXPECT_EQ(d.ParseData(text), failed ? failure(text, outcome) : "");
        EXPECT_EQ(d.DataIsValid(), !failed) << text;
        EXPECT_EQ(d.DiverNumber(), diver);
    }
}

// The judge-score counter stops at 32767: the score is stored and the parse fails.
TEST(DaktronicsData, JudgeCounterOverflow) {
    clsDaktronicsData d;
    for (int i = 0; i < 32767; ++i)
        d.setJudge2Score(1);
    const QString packet = dakPacket(0, "45" + fullRecord().mid(2, 79) + "6.5 ");
    EXPECT_EQ(d.ParseData(packet),
              failure(packet, "(6) Numeric overflow: more than 32767 judge scores received"));
    EXPECT_EQ(fields(d, "DataIsValid DiverNumber Judge1Score HaveJudgesScores"),
              "false|45|6.5|true");
    EXPECT_EQ(d.JudgesScoresReceived(), 32767);
}

} // namespace
