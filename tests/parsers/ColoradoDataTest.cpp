#include "ParserTestSupport.h"

#include <kavvix/clsColoradoData.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

const QString Outputs = "DataIsValid PrimaryDiver SynchroPartner DiverNumber CurrentRound "
                        "DiveNumber DiveDD Judge1Score Judge2Score Judge3Score Judge4Score "
                        "Judge5Score Judge6Score Judge10Score DiveTotal StartingScore CurrentTotal";

// Marker form: the frame marker, the record, two backslashes.
QString markerFrame(const QString &record) {
    return "junk" + QString::fromUtf16(u"W\\0\\101\\") + record + "\\\\tail";
}

QString withItem(int item, const QString &text) {
    QStringList items = coloradoItems();
    items[item] = text;
    return items.join(',');
}

TEST(ColoradoData, WorkedRecordInEveryFraming) {
    const QStringList items = coloradoItems();
    const QString texts[] = {stxFrame(items.join(',')), markerFrame(items.join('\\')),
                             markerFrame(items.join(',')), stxFrame(items.join('\\')),
                             markerFrame(items.join('\\')) + stxFrame("marker,wins")};
    for (const QString &text : texts) {
        clsColoradoData c;
        c.setDivePosition("Q");
        c.setExpectedNumberOfJudges(7);
        EXPECT_EQ(c.ParseData(text), "") << text;
        EXPECT_EQ(fields(c, Outputs + " DivePosition ExpectedNumberOfJudges"),
                  "true|DiverA|DiverB|12|3|105B|2.4|7.5|8|7|7.5|8|0|0|55.2|100.5|155.7|Q|7");
    }
}

// Each call clears the score set first; a failure keeps the items stored before it.
// {input, outcome: "" stored or no record, a count of too few items, "(code) ..." a failure,
//  the items afterwards}
TEST(ColoradoData, ResultTextsAndItems) {
    using namespace modKavvix;
    const QStringList items = coloradoItems();
    const std::tuple<QString, QString, QString> cases[] = {
        {"hello, world", "", "false|||0|0||0"},
        {ch(STX) + "xy" + ch(EOT), "0", "false|||0|0||0"},
        {ch(STX) + "x" + items.join(','), "0", "false|||0|0||0"}, // no EOT
        {"W\\0\\101\\a,b", "0", "false|||0|0||0"},                // no terminator
        {"W\\0\\101\\\\\\a,b", "0", "false|||0|0||0"}, // terminator at the record's start
        {stxFrame(items.mid(0, 17).join(',')), "17", "false|||0|0||0"},
        {markerFrame("A\\1\\2\\105[B]\\\\2.4\\" + items.mid(5).join('\\')), "4", "false|||0|0||0"},
        {stxFrame((items + items).mid(0, 25).join(',')), "", "true|DiverA|DiverB|12|3|105B|0"},
        {stxFrame(withItem(1, "32768")), "(6) Numeric overflow", "false|DiverA|DiverB|0|0||0"},
        {stxFrame(withItem(2, "-32769")), "(6) Numeric overflow", "false|DiverA|DiverB|12|0||0"},
        {stxFrame("a" + QString(32768, u',')),
         "(6) Numeric overflow: more than 32768 items in the record", "false|||0|0||0"},
        {stxFrame(withItem(0, "A/B/C")), "", "true|A|B/C|12|3|105B|0"},
        {stxFrame(withItem(0, " Lone Diver ")), "", "true| Lone Diver ||12|3|105B|0"},
        {stxFrame(withItem(1, "13.5")), "", "true|DiverA|DiverB|14|3|105B|0"}, // halves to even
        {stxFrame(withItem(3, "105[")), "", "true|DiverA|DiverB|12|3|105|0"},
        {stxFrame(withItem(3, "[C]")), "", "true|DiverA|DiverB|12|3|0C|0"},
        {stxFrame(withItem(3, "5253.50[D")), "", "true|DiverA|DiverB|12|3|5253.5D|0"},
        {stxFrame(withItem(3, "105[[B")), "", "true|DiverA|DiverB|12|3|105[|0"},
        {stxFrame(withItem(14, "9.5")), "", "true|DiverA|DiverB|12|3|105B|9.5"},
        // Separators found at every place within a group of characters the cutting reads.
        {stxFrame("A,-1,-2,-105[B],-2.4," + items.mid(5).join(',')), "", "true|A||-1|-2|-105B|0"},
        {stxFrame("AB,-1,-2,-105[B],-2.4," + items.mid(5).join(',')), "", "true|AB||-1|-2|-105B|0"},
    };
    for (const auto &[input, outcome, after] : cases) {
        clsColoradoData c;
        c.ParseData(stxFrame(items.join(',')));
        const QString notEnough = "Not enough information received. Only " + outcome +
                                  " items of data were pulled from the COM port. The data "
                                  "received was <" +
                                  input + ">.";
        EXPECT_EQ(c.ParseData(input), outcome.isEmpty()         ? ""
                                      : outcome.startsWith('(') ? failure(input, outcome)
                                                                : notEnough);
        EXPECT_EQ(fields(c, "DataIsValid PrimaryDiver SynchroPartner DiverNumber CurrentRound "
                            "DiveNumber Judge10Score"),
                  after)
            << input;
    }
}

} // namespace
