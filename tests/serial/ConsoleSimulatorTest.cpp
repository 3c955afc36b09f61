#include "DeviceEnd.h"
#include "omnisport/DiveSheetPackets.h"

#include <kavvix/cDakProcessor.h>
#include <kavvix/cUtility.h>
#include <kavvix/modKavvix.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace Kavvix;
using KavvixTest::DeviceEnd;
using Answer = ConsoleSimulator::Answer;

namespace {

QString ack(const char *code) {
    return modKavvix::BuildFrame(QStringLiteral("900"), QLatin1String(code));
}

// The upload frames of divers 1 to n with a dive in each of the 13 rounds.
DiveSheetPackets uploadOf(qint16 divers) {
    DiveSheetPackets packets;
    packets.InitDiverRows(divers);
    for (qint16 order = 1; order <= divers; ++order)
        for (qint16 round = 1; round <= DiveSheetPackets::Rounds; ++round)
            packets.PlaceDive({order, round, QStringLiteral("%1B").arg(100 * round + order),
                               1.0f + round / 10.0f});
    packets.BuildPackets(QStringLiteral("302"));
    return packets;
}

// The rows the upload frames carried, read back with the layout they were built with: one
// frame, a short last frame, and five full frames.
TEST(ConsoleSimulator, ReadsBackTheRowsTheUploadFramesCarry) {
    for (qint16 divers : {1, 12, 25}) {
        SCOPED_TRACE(divers);
        const DiveSheetPackets packets = uploadOf(divers);
        ConsoleSimulator sim;
        for (const QString &frame : packets.Packets())
            sim.receive(frame.toLatin1());
        EXPECT_EQ(sim.diverRows(), packets.DiverRows());
    }
}

// With two acknowledgements planned for every frame, an upload frame gets "00" then "07", and
// a version request still gets only its version reply.
TEST(ConsoleSimulator, AcknowledgesOnlyUploadFramesTwice) {
    const QString row = QString(DiveSheetPackets::RowWidth, u' ');
    const std::pair<QString, QString> cases[] = {
        {cDakProcessor().SoftwareVersionRequest(),
         modKavvix::BuildFrame(QStringLiteral("100"),
                               QStringLiteral("Double 1.0").leftJustified(40, u' '))},
        {modKavvix::BuildFrame(QStringLiteral("301"), QStringLiteral("0101") + row),
         ack("00") + ack("07")},
    };
    ConsoleSimulator sim;
    sim.setVersion(QStringLiteral("Double 1.0"));
    sim.setDefaultAnswer(Answer::AckThen07);
    DeviceEnd device(sim.slavePath());
    ASSERT_TRUE(device.isOpen());
    for (const auto &[frame, answer] : cases) {
        sim.receive(frame.toLatin1());
        EXPECT_EQ(visibleText(QString::fromLatin1(device.readUntilQuiet())), visibleText(answer))
            << qPrintable(visibleText(frame));
    }
}

// Nobody reads the line: sending never blocks; what fits waits, whole messages beyond it are
// dropped and reported; what waited arrives once the other side reads, and so does new output.
TEST(ConsoleSimulator, OutputNobodyReadsWaitsOrIsDropped) {
    ConsoleSimulator sim;
    QSignalSpy dropped(&sim, &ConsoleSimulator::outputDropped);
    const QByteArray message(1000, 'x');
    const int messages = 1000;
    for (int i = 0; i < messages; ++i)
        sim.sendRaw(message);
    ASSERT_FALSE(dropped.isEmpty());
    EXPECT_EQ(sim.droppedBytes(), dropped.size() * message.size());

    DeviceEnd device(sim.slavePath());
    const QByteArray arrived = device.readUntilQuiet();
    EXPECT_GE(arrived.size(), ConsoleSimulator::MaxQueued - message.size());
    EXPECT_EQ(arrived.size() + sim.droppedBytes(), qint64(messages) * message.size());
    sim.sendRaw("after");
    EXPECT_EQ(device.readUntilQuiet(), "after");
}

// Output paced at a slow rate goes out at once when the rate becomes 0: nothing is left
// waiting for a pace that will never come.
TEST(ConsoleSimulator, LineRateZeroSendsWhatWasPacedAtOnce) {
    ConsoleSimulator sim;
    DeviceEnd device(sim.slavePath());
    sim.setLineRate(300);
    sim.sendRaw(QByteArray(300, 'x')); // ten seconds at 300 baud
    sim.setLineRate(0);
    EXPECT_EQ(sim.queuedBytes(), 0);
    EXPECT_EQ(device.readUntilQuiet().size(), 300);
}

} // namespace
