#include "PortEnvironment.h"
#include "serial/ConsoleSimulator.h"
#include <kavvix/comPort.h>

#include <kavvix/Error.h>
#include <kavvix/PortTable.h>

#include <QTest>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

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

TEST(PortTable, EnvironmentOverridesAnEntry) {
    using Kavvix::modKavvix::PortDevice;
    EXPECT_EQ(PortDevice(4), QStringLiteral("/dev/ttyS3"));
    qputenv("KAVVIX_COM4", "/tmp/elsewhere");
    EXPECT_EQ(PortDevice(4), QStringLiteral("/tmp/elsewhere"));
    qunsetenv("KAVVIX_COM4");
    EXPECT_EQ(PortDevice(4), QStringLiteral("/dev/ttyS3"));
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

TEST(ComPort, OneNotificationPerCharacterOldestFirst) {
    ConsoleSimulator sim;
    PortEnvironment env({{2, sim.slavePath()}});
    comPort port;
    port.setCommPort(2);
    port.open();
    QByteArray read;
    QList<qint16> kinds;
    QObject::connect(&port, &comPort::OnComm, [&] {
        kinds << port.CommEvent();
        if (port.CommEvent() == comPort::Received)
            read += port.readChar().toLatin1();
    });
    const QByteArray bytes = everyByte(2);
    QList<qint16> expected; // the end-of-file character is also announced as such
    for (const char c : bytes)
        expected << (c == comPort::EndOfFileChar
                         ? QList<qint16>{comPort::Received, comPort::EndOfFile}
                         : QList<qint16>{comPort::Received});
    sim.sendRaw(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(kinds.size(), expected.size(), 5000);
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(port.InBufferCount(), 0);
}

TEST(ComPort, OpensWhateverSettingsADeadProcessLeftOnTheDevice) {
    ConsoleSimulator sim;
    PortEnvironment env({{4, sim.slavePath()}});
    // What a process killed with the port open leaves behind: its settings, never restored.
    const std::pair<tcflag_t, tcflag_t> leftovers[] = {
        {PARENB, 0}, {PARENB | PARODD, 0}, {CSTOPB, 0}, {PARENB | CMSPAR, CS7}};
    for (const auto &[flags, size] : leftovers) {
        const int fd = ::open(sim.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios settings{};
        ASSERT_EQ(::tcgetattr(fd, &settings), 0);
        settings.c_cflag |= flags;
        if (size != 0)
            settings.c_cflag = (settings.c_cflag & ~CSIZE) | size;
        settings.c_iflag |= INPCK | IXON;
        ::tcsetattr(fd, TCSANOW, &settings);
        ::close(fd);

        comPort port;
        port.setCommPort(4);
        EXPECT_NO_THROW(port.open()) << std::hex << flags;
        port.close();
    }
}
