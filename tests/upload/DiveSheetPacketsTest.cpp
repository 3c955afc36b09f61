#include "upload/DiveSheetPackets.h"
#include "MeetDatabaseFixture.h"

using namespace Kavvix;
namespace Sample = Kavvix::SampleMeet;

namespace {

const QString Blank8(8, QLatin1Char(' '));

// Dives for every kind of slot content (diver 1 and 2 of "SLOTS"), and one without a slot.
void addRows(const QSqlDatabase &db) {
    const QVariant none(QMetaType::fromType<QString>());
    const std::tuple<const char *, int, int, QVariant, double> dives[] = {
        {"SLOTS", 1, 1, "105B", 2.4},   {"SLOTS", 1, 3, "5231d", 2},
        {"SLOTS", 1, 4, "12345C", 1.6}, {"SLOTS", 1, 5, "105X", 3.0},
        {"SLOTS", 1, 6, "", 1.5},       {"SLOTS", 1, 7, none, 2.25},
        {"SLOTS", 1, 13, "107C", 3.0},  {"SLOTS", 2, 1, "5337D", 3.3},
        {"SLOTS", 2, 2, "405c", 2.4},   {"BADRND", 1, 14, "105B", 2.4},
    };
    for (const auto &[event, order, round, diveNum, dd] : dives)
        KavvixTest::addDive(db, QLatin1String(event), order, order, round, diveNum, dd);
}

class DiveSheetFrames : public KavvixTest::MeetDatabaseFixture {
public:
    static void SetUpTestSuite() { openDatabases(&addRows); }

protected:
    // The rows and frames of an event, built as the upload builds them.
    DiveSheetPackets build(const QString &event, const QString &command, qint16 last = -1) {
        auto rs = modKavvix::GetDiveSheets(Sample::MeetID, event, db());
        EXPECT_NE(rs, nullptr);
        DiveSheetPackets packets;
        packets.InitDiverRows(last >= 0 ? last
                                        : modKavvix::GetLastDiver(Sample::MeetID, event, db()));
        packets.BuildDiverRows(rs.get());
        packets.BuildPackets(command);
        return packets;
    }
};

// Computed here from the bytes, independently of the library's checksum.
QString byteSum(const QString &frame) {
    unsigned sum = 0;
    for (char byte : frame.mid(1, frame.size() - 4).toLatin1())
        sum += static_cast<unsigned char>(byte);
    return QString::asprintf("%02X", sum % 256);
}

TEST_P(DiveSheetFrames, FramesOfFiveDiversEach) {
    const struct {
        QString event;
        QString command;
        QString count;
        QList<int> lengths;
    } cases[] = {
        {Sample::Event1Diver, "301", "01", {125}},
        {Sample::Event10Divers, "304", "10", {541, 541}},
        {Sample::Event12Divers, "302", "12", {541, 541, 229}},
        {Sample::Event25Divers, "303", "25", {541, 541, 541, 541, 541}},
    };
    const QString starts[] = {"01", "06", "11", "16", "21"};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        const DiveSheetPackets packets = build(c.event, c.command);
        const QStringList &frames = packets.Packets();
        ASSERT_EQ(frames.size(), 20);
        for (int k = 0; k < 20; ++k) {
            const QString &f = frames[k];
            ASSERT_EQ(f.size(), c.lengths.value(k)) << "frame " << k;
            if (f.isEmpty())
                continue;
            EXPECT_EQ(f.left(13), QChar(22) + QStringLiteral("10000000") + QChar(1) + c.command);
            EXPECT_EQ(f.mid(13, 4), starts[k] + c.count);
            EXPECT_EQ(f.right(4), QChar(4) + byteSum(f) + QChar(23));
        }
    }
}

TEST_P(DiveSheetFrames, SlotsHoldNumberPositionAndDD) {
    const DiveSheetPackets packets = build(QStringLiteral("SLOTS"), QStringLiteral("301"));
    // 105B, no round 2, 5231d, 12345C, 105X, blank, null with DD 2.25 (an exact half), 107C.
    const QString first = QStringLiteral(" 10512.4") + Blank8 + QStringLiteral("523132.0234521.6") +
                          QStringLiteral(" 10503.0    01.5    02.3") + Blank8.repeated(5) +
                          QStringLiteral(" 10723.0");
    const QString second = QStringLiteral("533733.3 40522.4") + Blank8.repeated(11);
    EXPECT_EQ(packets.DiverRows(), (QStringList{first, second}));
    EXPECT_EQ(packets.Packets()[0].mid(13, 4 + 208), QStringLiteral("0102") + first + second);
}

// A dive without a slot stops the upload before any frame exists, naming the dive.
TEST_P(DiveSheetFrames, DiveWithoutSlotIsRefused) {
    const struct {
        QString event;
        qint16 last;
        QStringList mentions;
    } cases[] = {
        {QStringLiteral("BADRND"), 1, {"Dive 105B", "round 14", "rounds run from 1 to 13"}},
        {Sample::EventOrderZero, 2, {"diving order 0", "diving orders run from 1 to 2"}},
        {Sample::Event12Divers, 11, {"diving order 12", "diving orders run from 1 to 11"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.event.toStdString());
        try {
            build(c.event, QStringLiteral("301"), c.last);
            ADD_FAILURE() << "no error";
        } catch (const Error &e) {
            for (const QString &m : c.mentions)
                EXPECT_TRUE(e.description().contains(m)) << e.description().toStdString();
        }
    }
}

KAVVIX_ON_EVERY_DATABASE(DiveSheetFrames);

} // namespace
