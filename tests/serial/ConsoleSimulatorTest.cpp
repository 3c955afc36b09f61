#include "DeviceEnd.h"
#include "upload/DiveSheetReader.h"

#include <kavvix/MeetDatabase.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cUtility.h>
#include <kavvix/modKavvix.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QSignalSpy>
#include <QSqlDatabase>
#include <gtest/gtest.h>

using namespace Kavvix;
using KavvixTest::DeviceEnd;
using Answer = ConsoleSimulator::Answer;

namespace {

QString ack(const char *code) {
    return modKavvix::BuildFrame(QStringLiteral("900"), QLatin1String(code));
}

// The sample meet's dive sheets of an event, as the upload builds them into frames.
DiveSheetPackets uploadOf(const QString &event) {
    const QString connection = QStringLiteral("simulator-rows");
    DiveSheetPackets packets;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        SampleMeet::write(db);
        const auto sheets = modKavvix::GetDiveSheets(SampleMeet::MeetID, event, db);
        packets.InitDiverRows(modKavvix::GetLastDiver(SampleMeet::MeetID, event, db));
        BuildDiverRows(sheets.get(), packets);
        packets.BuildPackets(QStringLiteral("302"));
    }
    QSqlDatabase::removeDatabase(connection);
    return packets;
}

// The rows the upload frames carried, read back with the layout they were built with: one
// frame, a short last frame, five full frames, and divers sharing a diving order.
TEST(ConsoleSimulator, ReadsBackTheRowsTheUploadFramesCarry) {
    for (QLatin1String event : {SampleMeet::Event1Diver, SampleMeet::Event12Divers,
                                SampleMeet::Event25Divers, SampleMeet::SynchroEvent}) {
        SCOPED_TRACE(event.data());
        const DiveSheetPackets packets = uploadOf(event);
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

} // namespace
