#include "ParserTestSupport.h"

#include <kavvix/clsColoradoData.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

const QString Outputs = "DataIsValid PrimaryDiver SynchroPartner DiverNumber CurrentRound "
                        "DiveNumber DiveDD Judge1Score Judge2Score Judge3Score Judge4Score "
                        "Judge5Score Judge6Score Judge10Score DiveTotal StartingScore CurrentTotal";
const QString WorkedRecord = "true|DiverA|DiverB|12|3|105B|2.4|7.5|8|7|7.5|8|0|0|55.2|100.5|155.7";
const QString Cleared = "false|||0|0||0|0|0|0|0|0|0|0|0|0|0";

TEST(ColoradoData, WorkedRecordInEveryFraming) {
    const QStringList items = coloradoItems();
    const QString texts[] = {stxFrame(items.join(',')), markerFrame(items.join('\\')),
                             markerFrame(items.join(',')), stxFrame(items.join('\\')),
                             markerFrame(items.join('\\')) + stxFrame("marker,wins")};
    for (const QString &text : texts) {
        clsColoradoData c;
        c.setDivePosition("Q");
        c.setExpectedNumberOfJudges(7);
        EXPECT_EQ(c.ParseData(text), "") << text.toStdString();
        EXPECT_EQ(fields(c, Outputs), WorkedRecord);
        EXPECT_EQ(fields(c, "DivePosition ExpectedNumberOfJudges"), "Q|7"); // never touched
    }
}

QString notEnough(int n, const QString &input) {
    return "Not enough information received. Only " + QString::number(n) +
           " items of data were pulled from the COM port. The data received was <" + input + ">.";
}

TEST(ColoradoData, ResultTexts) {
    using namespace modKavvix;
    const QStringList items = coloradoItems();
    const QString seventeen = items.mid(0, 17).join(',');
    const QString overflow = QStringList(items).replaceInStrings("12", "40000").join(',');
    const QString tooMany = "a" + QString(32768, u',');
    const QString emptyItemEnds = "A\\1\\2\\105[B]\\\\2.4\\" + items.mid(5).join('\\');
    // {input, items counted (-1: stored, -2: no record, else code 1000 + failure code)}
    const std::pair<QString, int> cases[] = {
        {"hello, world", -2},
        {ch(STX) + "x" + ch(EOT), 0},
        {ch(STX) + "xy" + ch(EOT), 0},
        {ch(STX) + "x" + items.join(','), 0}, // no EOT
        {"W\\0\\101\\a,b", 0},                // no terminator
        {"W\\0\\101\\\\\\a,b", 0},            // terminator at the record's start
        {stxFrame("solo"), 1},
        {stxFrame(",,"), 3},
        {stxFrame(seventeen), 17},
        {markerFrame(seventeen) + stxFrame(items.join(',')), 17},
        {markerFrame(emptyItemEnds), 4},
        {stxFrame((items + items).mid(0, 25).join(',')), -1},
        {stxFrame(overflow), 1006},
        {stxFrame(tooMany), 1006},
    };
    for (const auto &[input, outcome] : cases) {
        clsColoradoData c;
        c.setDataIsValid(outcome != -1);
        const QString result = c.ParseData(input);
        if (outcome >= 1000)
            EXPECT_TRUE(result.startsWith(failurePrefix(input, outcome - 1000))) << outcome;
        else
            EXPECT_EQ(result, outcome < 0 ? "" : notEnough(outcome, input));
        EXPECT_EQ(c.DataIsValid(), outcome == -1) << input.toStdString();
    }
}

TEST(ColoradoData, EachCallStartsFromAClearedSet) {
    clsColoradoData c;
    c.ParseData(stxFrame(coloradoItems().join(',')));
    c.ParseData("no record");
    EXPECT_EQ(fields(c, Outputs), Cleared);

    // A failure keeps the items stored before it: item 0 is stored, item 1 overflows.
    c.ParseData(stxFrame(coloradoItems().join(',')));
    c.ParseData(stxFrame(coloradoItems().replaceInStrings("12", "40000").join(',')));
    EXPECT_EQ(fields(c, Outputs), QString(Cleared).replace("false||", "false|DiverA|DiverB"));
}

TEST(ColoradoData, ItemConversions) {
    const std::tuple<int, QString, const char *, QString> cases[] = {
        {0, "A/B/C", "PrimaryDiver SynchroPartner", "A|B/C"},
        {0, " Lone Diver ", "PrimaryDiver SynchroPartner", " Lone Diver |"},
        {1, "12.5", "DiverNumber", "12"}, // halves to even
        {2, "13.5", "CurrentRound", "14"},
        {3, "0105[b]", "DiveNumber", "105b"},
        {3, "105[", "DiveNumber", "105"},
        {3, "105", "DiveNumber", "105"}, // no "[": the number alone
        {3, "[C]", "DiveNumber", "0C"},
        {3, "5253.50[D", "DiveNumber", "5253.5D"},
        {3, "105[[B", "DiveNumber", "105["},
        {14, "9.5", "Judge10Score", "9.5"},
    };
    for (const auto &[item, text, names, expected] : cases) {
        QStringList items = coloradoItems();
        items[item] = text;
        clsColoradoData c;
        EXPECT_EQ(c.ParseData(stxFrame(items.join(','))), "") << text.toStdString();
        EXPECT_EQ(fields(c, names), expected) << text.toStdString();
    }
}

} // namespace
