#include "omnisport/DiveSheetPackets.h"

#include <kavvix/modKavvix.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace Kavvix;
using Answer = ConsoleSimulator::Answer;

namespace {

// The device end of a simulator's line, opened raw: reads what the simulator wrote the way a
// port would, without a port class in between.
struct DeviceEnd {
    explicit DeviceEnd(const QString &path) {
        file.open(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK),
                  QIODevice::ReadWrite, QFileDevice::AutoCloseHandle);
    }

    // Everything that arrives until nothing more has come for 300 ms; the event loop runs
    // meanwhile, so a simulator waiting to write can go on.
    QByteArray readUntilQuiet() {
        QByteArray bytes;
        for (QDeadlineTimer quiet(300); !quiet.hasExpired();) {
            QCoreApplication::processEvents();
            char buffer[4096];
            if (const ssize_t n = ::read(file.handle(), buffer, sizeof buffer); n > 0) {
                bytes.append(buffer, n);
                quiet.setRemainingTime(300);
            } else {
                QThread::msleep(5);
            }
        }
        return bytes;
    }

    QFile file;
};

QString ack(const char *code) {
    return modKavvix::BuildFrame(QStringLiteral("900"), QLatin1String(code));
}

// With two acknowledgements planned, an upload frame gets "00" then "07".
TEST(ConsoleSimulator, AcknowledgesAnUploadFrameTwice) {
    ConsoleSimulator sim;
    sim.setDefaultAnswer(Answer::AckThen07);
    DeviceEnd device(sim.slavePath());
    const QString row(DiveSheetPackets::RowWidth, u' ');
    sim.receive(modKavvix::BuildFrame(QStringLiteral("301"), "0101" + row).toLatin1());
    EXPECT_EQ(QString::fromLatin1(device.readUntilQuiet()), ack("00") + ack("07"));
}

// Nobody reads the line: sending never blocks; what fits waits, whole messages beyond it are
// dropped and reported; what waited arrives once the other side reads, and so does new output.
TEST(ConsoleSimulator, OutputNobodyReadsWaitsOrIsDropped) {
    ConsoleSimulator sim;
    QSignalSpy dropped(&sim, &ConsoleSimulator::outputDropped);
    for (int i = 0; i < 1000; ++i)
        sim.sendRaw(QByteArray(1000, 'x'));
    ASSERT_FALSE(dropped.isEmpty());
    EXPECT_EQ(sim.droppedBytes(), dropped.size() * 1000);

    DeviceEnd device(sim.slavePath());
    EXPECT_EQ(device.readUntilQuiet().size() + sim.droppedBytes(), 1000 * 1000);
    sim.sendRaw("after");
    EXPECT_EQ(device.readUntilQuiet(), "after");
}

} // namespace
