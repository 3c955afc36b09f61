#include "PortEnvironment.h"
#include <kavvix/comPort.h>

#include <kavvix/Error.h>
#include <kavvix/PortTable.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QTest>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

using Kavvix::comPort;
using Kavvix::ConsoleSimulator;
using KavvixTest::PortEnvironment;

static QByteArray everyByte(int repeats) {
    QByteArray bytes;
    for (int i = 0; i < 256 * repeats; ++i)
        bytes += char(i);
    return bytes;
}

TEST(ComPortSettings, ParsesEachFieldAndRejectsMalformedText) {
    using P = QSerialPort;
    const std::pair<const char *, comPort::LineSettings> good[] = {
        {"9600,e,8,1", {9600, P::EvenParity, P::Data8, P::OneStop}},
        {" 19200 , N , 7 , 2 ", {19200, P::NoParity, P::Data7, P::TwoStop}},
        {"1200,o,5,1.5", {1200, P::OddParity, P::Data5, P::OneAndHalfStop}},
        {"300,M,6,1", {300, P::MarkParity, P::Data6, P::OneStop}},
        {"300,s,6,1", {300, P::SpaceParity, P::Data6, P::OneStop}},
    };
    for (const auto &[text, settings] : good)
        EXPECT_EQ(comPort::parseSettings(QString::fromLatin1(text)), settings) << text;
    for (const char *bad : {"", "9600,e,8", "9600,e,8,1,0", "fast,e,8,1", "0,e,8,1", "9600,x,8,1",
                            "9600,e,9,1", "9600,e,4,1", "9600,e,8,3"}) {
        try {
            comPort::parseSettings(QString::fromLatin1(bad));
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Kavvix::Error &e) {
            EXPECT_EQ(e.code(), Kavvix::Error::InvalidArgument) << bad;
            EXPECT_TRUE(e.description().contains(QLatin1String(bad))) << bad;
        }
    }
}

// Port numbers name devices through a fixed table (every other test points them elsewhere).
TEST(PortTable, NamesTheSerialDevices) {
    EXPECT_EQ(Kavvix::modKavvix::PortDevice(4), QStringLiteral("/dev/ttyS3"));
}

// Every byte value both ways, parity set on the line: what arrives is delivered in order, each
// end-of-file character among it announced once; what is written right before close arrives.
TEST(ComPort, CarriesEveryByteBothWays) {
    ConsoleSimulator sim;
    PortEnvironment env({{2, sim.slavePath()}});
    comPort port;
    port.setCommPort(2);
    port.open();
    QByteArray read;
    QList<qint16> kinds;
    QObject::connect(&port, &comPort::received, [&](const QByteArray &bytes) { read += bytes; });
    QObject::connect(&port, &comPort::OnComm, [&] { kinds << port.CommEvent(); });
    sim.sendRaw(everyByte(2));
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 512, 5000);
    EXPECT_EQ(read, everyByte(2));
    QTRY_COMPARE_WITH_TIMEOUT(kinds.size(), 2, 5000);
    EXPECT_EQ(kinds, (QList<qint16>{comPort::EndOfFile, comPort::EndOfFile}));
    EXPECT_TRUE(port.takeReceived().isEmpty());

    const QByteArray written = everyByte(8);
    port.write(QString::fromLatin1(written));
    port.close();
    QTRY_COMPARE_WITH_TIMEOUT(sim.received().size(), written.size(), 5000);
    EXPECT_EQ(sim.received(), written);
}

TEST(ComPort, OpensWhatAKilledProcessLeftOnTheDevice) {
    ConsoleSimulator sim;
    PortEnvironment env({{4, sim.slavePath()}});
    const QByteArray device = sim.slavePath().toLocal8Bit();
    for (int run = 0; run < 2; ++run) {
        // A process killed with the port open never restores the device's settings: keep what
        // an open port has set, close (which restores them), and put them back.
        comPort killed;
        killed.setCommPort(4);
        killed.open();
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios left{};
        ASSERT_EQ(::tcgetattr(fd, &left), 0);
        killed.close();
        ASSERT_EQ(::tcsetattr(fd, TCSANOW, &left), 0);
        ::close(fd);

        comPort next;
        next.setCommPort(4);
        EXPECT_NO_THROW(next.open());
    }
}
