#include "serial/comPort.h"
#include "PortEnvironment.h"
#include "serial/ConsoleSimulator.h"

#include <kavvix/Error.h>
#include <kavvix/comPort.h>

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using Kavvix::comPort;
using Kavvix::ConsoleSimulator;
using KavvixTest::PortEnvironment;

namespace {

QByteArray everyByte(int repeats) {
    QByteArray bytes;
    for (int i = 0; i < 256 * repeats; ++i)
        bytes += char(i);
    return bytes;
}

} // namespace

TEST(ComPortSettings, ParsesEachFieldAndRejectsMalformedText) {
    using S = comPort::LineSettings;
    EXPECT_EQ(comPort::parseSettings("9600,e,8,1"),
              (S{9600, QSerialPort::EvenParity, QSerialPort::Data8, QSerialPort::OneStop}));
    EXPECT_EQ(comPort::parseSettings(" 19200 , N , 7 , 2 "),
              (S{19200, QSerialPort::NoParity, QSerialPort::Data7, QSerialPort::TwoStop}));
    EXPECT_EQ(comPort::parseSettings("1200,o,5,1.5"),
              (S{1200, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneAndHalfStop}));
    EXPECT_EQ(comPort::parseSettings("300,M,6,1").parity, QSerialPort::MarkParity);
    EXPECT_EQ(comPort::parseSettings("300,s,6,1").parity, QSerialPort::SpaceParity);

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

TEST(PortTable, FixedTableAndEnvironmentOverride) {
    using Kavvix::modKavvix::PortDevice;
    const QStringList table = {"",
                               "/dev/ttyS0",
                               "/dev/ttyS3",
                               "/dev/ttyUSB0",
                               "/dev/ttyUSB7",
                               "/dev/ttyACM0",
                               "/dev/ttyACM3",
                               ""};
    const qint16 numbers[] = {0, 1, 4, 5, 12, 13, 16, 17};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(PortDevice(numbers[i]), table[i]) << numbers[i];

    qputenv("KAVVIX_COM20", "/tmp/beyond"); // any number can be named
    EXPECT_EQ(PortDevice(20), QStringLiteral("/tmp/beyond"));
    qunsetenv("KAVVIX_COM20");
    EXPECT_EQ(PortDevice(20), QString());
}

TEST(PortTable, PortListOffersOpenableDevicesInOrder) {
    ConsoleSimulator sim;
    PortEnvironment env({{5, QStringLiteral("/dev/null")}, {3, sim.slavePath()}});
    EXPECT_TRUE(Kavvix::modKavvix::PortAvailable(3));
    EXPECT_FALSE(Kavvix::modKavvix::PortAvailable(4));

    QComboBox combo;
    Kavvix::modKavvix::FillPortList(&combo);
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(0) + combo.itemText(1), QStringLiteral("COM 3COM 5"));
    EXPECT_EQ(combo.itemData(1).toInt(), 5);
    EXPECT_EQ(combo.itemData(0, Qt::ToolTipRole).toString(), sim.slavePath());
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST(ComPort, CloseRightAfterWriteDeliversEveryByte) {
    ConsoleSimulator sim;
    PortEnvironment env({{7, sim.slavePath()}});
    comPort port;
    port.setCommPort(7);
    port.open();
    const QByteArray bytes = everyByte(8); // 2 KiB, every byte value, parity set on the line
    port.write(QString::fromLatin1(bytes));
    port.close();
    QTRY_COMPARE_WITH_TIMEOUT(sim.received().size(), bytes.size(), 5000);
    EXPECT_EQ(sim.received(), bytes);
}

TEST(ComPort, OneNotificationPerCharacterAndUnreadCharactersStay) {
    ConsoleSimulator sim;
    PortEnvironment env({{2, sim.slavePath()}});
    comPort port;
    port.setCommPort(2);
    port.open();

    QByteArray read;
    QList<qint16> kinds;
    bool reading = false;
    QObject::connect(&port, &comPort::OnComm, [&] {
        kinds << port.CommEvent();
        if (reading)
            read += port.readChar().toLatin1();
    });

    const QByteArray first = everyByte(1);
    sim.sendRaw(first);
    QTRY_COMPARE_WITH_TIMEOUT(kinds.size(), first.size(), 5000);
    EXPECT_EQ(kinds, QList<qint16>(first.size(), comPort::Received));
    EXPECT_EQ(port.InBufferCount(), first.size()); // nobody read: all still there

    reading = true;
    sim.sendRaw("xyz");
    QTRY_COMPARE_WITH_TIMEOUT(kinds.size(), first.size() + 3, 5000);
    EXPECT_EQ(read, first.left(3)); // oldest first
    for (int i = 3; i < first.size() + 3; ++i)
        read += port.readChar().toLatin1();
    EXPECT_EQ(read, first + "xyz");
    EXPECT_TRUE(port.readChar().isEmpty());
}
