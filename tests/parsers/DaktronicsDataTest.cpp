#include "ParserTestSupport.h"
#include "TestData.h"

#include <kavvix/Error.h>
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

const QString Stored = "DataIsValid DiverNumber PrimaryDiver CurrentTotal DiveNumber DivePosition "
                       "DiveDD Judge1Score Judge2Score Judge3Score Judge4Score Judge5Score "
                       "Judge6Score Judge7Score Judge8Score Judge9Score DiveTotal CurrentRound";
const QString Untouched = "SynchroPartner StartingScore Judge10Score";

TEST(DaktronicsData, WholeRecordStoresEveryField) {
    ASSERT_EQ(fullRecord().size(), 590);
    clsDaktronicsData d;
    d.setSynchroPartner("Partner");
    d.setStartingScore(1.5f);
    d.setJudge10Score(2.0f); // counted too
    EXPECT_EQ(d.ParseData(dakPacket(0, fullRecord())), "");
    EXPECT_EQ(fields(d, Stored),
              "true|12|Jane Doe|55.2|105B|B|2.4|7.5|8|7|6.5|6|5.5|5|4.5|4|155.7|3");
    EXPECT_EQ(fields(d, Untouched), "Partner|1.5|2");
    EXPECT_EQ(d.JudgesScoresReceived(), 10);

    // InitializeItems clears everything but the number of judges required.
    clsDaktronicsData fresh;
    d.setNumberOfJudgesRequired(5);
    fresh.setNumberOfJudgesRequired(5);
    d.InitializeItems();
    EXPECT_EQ(snapshot(d), snapshot(fresh));
    EXPECT_EQ(d.JudgesScoresReceived(), 0);
}

// Each packet goes into an object that already holds the whole record.
TEST(DaktronicsData, PartialPackets) {
    const QString Shown =
        "DiverNumber PrimaryDiver DiveNumber Judge1Score Judge3Score CurrentRound";
    const QString Before = "12|Jane Doe|105B|7.5|7|3";
    const std::tuple<int, QString, QString, int> cases[] = {
        // {offset, text, fields afterwards, judge scores counted}
        {81, "9.5 8.5 6.5 ", "12|Jane Doe|105B|9.5|6.5|3", 3},
        {0, "34  Ann", "34|Jane Doe|105B|7.5|7|3", 0},     // EOT inside the name
        {81, "9.5 8.5 6.", "12|Jane Doe|105B|9.5|7|3", 2}, // EOT inside judge 3
        {81, "    8.5 ", Before, 1},                       // a blank field is ignored
        {43, "0203", "12|Jane Doe|203B|7.5|7|3", 0},
        {107, "9.5 ", Before, 0}, // no field starts at 108: the walk stops
        {588, "07" + QString(40, u'1'), "12|Jane Doe|105B|7.5|7|7", 0}, // runs off the end
    };
    for (const auto &[offset, text, expected, counted] : cases) {
        clsDaktronicsData d;
        d.ParseData(dakPacket(0, fullRecord()));
        d.setDataIsValid(false);
        EXPECT_EQ(d.ParseData(dakPacket(offset, text)), "") << offset;
        EXPECT_TRUE(d.DataIsValid());
        EXPECT_EQ(fields(d, Shown), expected) << text.toStdString();
        EXPECT_EQ(d.JudgesScoresReceived(), 9 + counted) << text.toStdString();
    }
}

TEST(DaktronicsData, PositionLetters) {
    const QString cases = "sA SA pB PB tC TC fD FD aA bB CC dD XQ 1Q";
    for (const QString &c : cases.split(' ')) {
        clsDaktronicsData d;
        d.setDivePosition("Q");
        d.ParseData(dakPacket(77, c.left(1)));
        EXPECT_EQ(d.DivePosition(), c.right(1)) << c.toStdString();
    }
}

void setKnownDive(clsDaktronicsData &d) {
    d.setCurrentRound(1);
    d.setDiverNumber(4);
    d.setDiveNumber("105");
    d.setDivePosition("B");
    d.setDiveDD(2.4f);
}

TEST(DaktronicsData, DataIsComplete) {
    const std::tuple<const char *, QVariant, bool> cases[] = {
        {"DiveTotal", 0, true},
        {"CurrentRound", 0, false},
        {"DiverNumber", 0, false},
        {"DivePosition", "  ", false},
        {"DiveNumber", " ", true},
        {"DiveDD", 0.0f, false},
        {"NumberOfJudgesRequired", 3, false}, // one of three judges counted
        {"NumberOfJudgesRequired", 1, true},
        {"NumberOfJudgesRequired", -1, true},
    };
    for (const auto &[name, value, complete] : cases) {
        clsDaktronicsData d;
        setKnownDive(d);
        d.setJudge1Score(8);
        d.setProperty(name, value);
        EXPECT_EQ(d.DataIsComplete(), complete) << name;
    }

    // A packet repeated counts its judges again: three judges satisfy a need of five.
    clsDaktronicsData d;
    d.setNumberOfJudgesRequired(5);
    setKnownDive(d);
    d.ParseData(dakPacket(81, "7.5 8.0 7.0 "));
    EXPECT_FALSE(d.DataIsComplete());
    d.ParseData(dakPacket(81, "7.5 8.0 7.0 "));
    EXPECT_TRUE(d.DataIsComplete());
    EXPECT_EQ(d.JudgesScoresReceived(), 6);
}

TEST(DaktronicsData, ContainsValidCommand) {
    using namespace modKavvix;
    const std::pair<QString, bool> cases[] = {
        {ch(SOH) + "00421" + ch(STX) + "x" + ch(EOT), true},
        {ch(EOT) + "zz" + ch(SOH) + "004", true}, // EOT may stand anywhere
        {ch(SOH) + "00421" + ch(STX) + "x", false},
        {ch(SOH) + "005" + ch(EOT), false},
        {ch(SOH) + "005" + ch(SOH) + "004" + ch(EOT), false}, // the first SOH decides
    };
    clsDaktronicsData d;
    for (const auto &[text, valid] : cases)
        EXPECT_EQ(d.ContainsValidCommand(text), valid) << text.toStdString();
}

// {text, result code (0: none, -1: not read at all)}; DiverNumber 12 shows a stored field.
TEST(DaktronicsData, FramingAndFailures) {
    using namespace modKavvix;
    const QString packet = dakPacket(0, "12");
    const std::tuple<QString, int, int> cases[] = {
        {QString(packet).remove(ch(SOH)), -1, 0},
        {QString(packet).remove(ch(STX)), -1, 0},
        {QString(packet).remove(ch(EOT)), -1, 0},
        {packet + packet, 0, 0},                          // the last STX lies behind the first EOT
        {ch(SOH) + "0" + ch(STX) + "12" + ch(EOT), 5, 0}, // STX at 3: no room for the offset
        {ch(SOH) + "004" + ch(STX) + "12" + ch(EOT), 5, 0},   // STX at 5
        {ch(SOH) + "0042" + ch(STX) + "12" + ch(EOT), 0, 12}, // STX at 6: offset reads 0
        {ch(SOH) + "004211E300" + ch(STX) + "12" + ch(EOT), 6, 0},
    };
    for (const auto &[text, code, diver] : cases)
        for (bool validBefore : {false, true}) {
            clsDaktronicsData d;
            d.setDataIsValid(validBefore);
            const QString result = d.ParseData(text);
            EXPECT_EQ(d.DataIsValid(), code == -1 ? validBefore : code == 0);
            EXPECT_TRUE(code > 0 ? result.startsWith(failurePrefix(text, code)) : result.isEmpty())
                << result.toStdString();
            EXPECT_EQ(d.DiverNumber(), diver);
        }
}

TEST(DaktronicsData, JudgeCounterOverflow) {
    clsDaktronicsData d;
    for (int i = 0; i < 32767; ++i)
        d.setJudge1Score(1);
    try {
        d.setJudge2Score(9.5f);
        ADD_FAILURE() << "no overflow";
    } catch (const Error &e) {
        EXPECT_EQ(e.code(), 6);
    }
    EXPECT_EQ(fields(d, "Judge2Score HaveJudgesScores"), "9.5|true");
    EXPECT_EQ(d.JudgesScoresReceived(), 32767);

    // Through a packet: the fields before the judge stay stored, the failure is reported.
    const QString packet = dakPacket(0, "45" + fullRecord().mid(2, 79) + "6.5 ");
    EXPECT_TRUE(d.ParseData(packet).startsWith(failurePrefix(packet, 6)));
    EXPECT_EQ(fields(d, "DataIsValid DiverNumber Judge1Score"), "false|45|6.5");
    EXPECT_EQ(d.JudgesScoresReceived(), 32767);
}

// Real console output: a scoreboard's record, framed exactly as the hardware sends it.
TEST(DaktronicsData, RealCaptureFrames) {
    const QString capture = testDataText("allsport5000-j5-output.bin");
    const QChar syn(modKavvix::SYN), etb(modKavvix::ETB);
    int frames = 0, scoreFrames = 0;
    clsDaktronicsData d;
    for (qsizetype start = capture.indexOf(syn); start >= 0;
         start = capture.indexOf(syn, start + 1)) {
        const QString frame = capture.sliced(start, capture.indexOf(etb, start) - start + 1);
        const bool scoreData = frame.mid(10, 3) == "004";
        ++frames;
        scoreFrames += scoreData;
        EXPECT_EQ(d.ContainsValidCommand(frame), scoreData) << frames;
        EXPECT_EQ(d.ParseData(frame), "") << frames;
    }
    EXPECT_EQ(frames, 247);
    EXPECT_EQ(scoreFrames, 246);
}

} // namespace
