#include <kavvix/comPort.h>

#include <kavvix/DeviceCheck.h>
#include <kavvix/Error.h>
#include <kavvix/PortTable.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QMetaObject>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace Kavvix {

namespace {

// The source of the port's own failures.
const QString ComponentName = QStringLiteral("comPort");

// Longest wait for written bytes to leave before close(): a full 541-byte frame at 9600 baud
// takes about 0.6 s.
constexpr int FlushTimeoutMs = 3000;

Error settingsError(const QString &settings, const QString &why) {
    return Error::invalidArgument(QStringLiteral("serial settings \"%1\": %2").arg(settings, why));
}

// A process that died with the device open leaves its line settings behind. A pseudo-terminal
// keeps no parity bit, and the platform's open, finding the speed already right, reads the
// settings back, misses the parity it asked for and refuses the device ("Invalid argument").
// Starting from plain raw settings at another speed makes every open independent of the last
// owner, as on a device nobody used before.
void resetLineSettings(const QString &device, qint32 baud) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return; // the real open reports why
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        settings.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB);
        settings.c_iflag &= ~(IGNPAR | INPCK);
        ::cfsetspeed(&settings, baud == 38400 ? B19200 : B38400);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    ::close(fd);
}

// Notification kinds of the modem lines, by the line's bit.
struct ModemLine {
    int bit;
    comPort::Kind kind;
};
constexpr ModemLine modemLines[] = {
    {TIOCM_CTS, comPort::ClearToSendChanged},
    {TIOCM_DSR, comPort::DataSetReadyChanged},
    {TIOCM_CAR, comPort::CarrierDetectChanged},
};

} // namespace

comPort::comPort(QObject *parent) : QObject(parent) {
    connect(&m_serial, &QSerialPort::readyRead, this, &comPort::onReadyRead);
    connect(&m_serial, &QSerialPort::bytesWritten, this, &comPort::onBytesWritten);
    connect(&m_serial, &QSerialPort::errorOccurred, this, &comPort::onError);
    m_modemPoll.setInterval(ModemLinePollMs);
    connect(&m_modemPoll, &QTimer::timeout, this, &comPort::pollModemLines);
}

comPort::~comPort() {
    if (m_serial.isOpen())
        m_serial.close();
}

comPort::LineSettings comPort::parseSettings(const QString &settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        throw settingsError(settings, QStringLiteral("expected baud,parity,data bits,stop bits"));
    LineSettings out;
    bool ok = false;
    out.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || out.baud <= 0)
        throw settingsError(settings, QStringLiteral("bad baud rate"));

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        out.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        out.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        out.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        out.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        out.parity = QSerialPort::SpaceParity;
    else
        throw settingsError(settings, QStringLiteral("parity must be n, e, o, m or s"));

    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        throw settingsError(settings, QStringLiteral("data bits must be 5 to 8"));
    out.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        out.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        out.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        out.stopBits = QSerialPort::TwoStop;
    else
        throw settingsError(settings, QStringLiteral("stop bits must be 1, 1.5 or 2"));
    return out;
}

void comPort::setCommPort(qint16 n) {
    if (modKavvix::PortDevice(n).isEmpty())
        throw Error::invalidArgument(QStringLiteral("no serial device for port number %1").arg(n));
    m_port = n;
}

void comPort::setSettings(const QString &settings) {
    parseSettings(settings); // reject a malformed text now, not at open()
    m_settings = settings;
}

void comPort::open() {
    if (m_serial.isOpen())
        throw Error(PortErrorBase + QSerialPort::OpenError, QStringLiteral("Port already open"),
                    ComponentName);
    const QString device = modKavvix::PortDevice(m_port);
    if (device.isEmpty())
        throw Error::invalidArgument(
            QStringLiteral("no serial device for port number %1").arg(m_port));
    // Everything is applied before open(): a pseudo-terminal refuses parity changes once open.
    const LineSettings s = parseSettings(m_settings);
    m_serial.setPortName(device);
    m_serial.setBaudRate(s.baud);
    m_serial.setParity(s.parity);
    m_serial.setDataBits(s.dataBits);
    m_serial.setStopBits(s.stopBits);
    m_serial.setFlowControl(QSerialPort::NoFlowControl);
    m_input.clear();
    m_errorText.clear();
    resetLineSettings(device, s.baud);
    // No DTR/RTS calls: pseudo-terminals have no modem lines and would fail them.
    m_opening = true;
    const bool opened = m_serial.open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened)
        failOpen(device);
    // Whatever the device held before now (a late answer to an earlier upload, line noise)
    // must not be taken as an answer to what we are about to send.
    m_serial.clear(QSerialPort::Input);
    m_modemLines = -1;
    pollModemLines();
    if (m_modemLines >= 0)
        m_modemPoll.start();
}

void comPort::close() {
    if (!m_serial.isOpen())
        return;
    // Bytes still in the write buffer would be discarded by close(): let them leave first.
    const QDeadlineTimer deadline(FlushTimeoutMs);
    while (m_serial.bytesToWrite() > 0 && !deadline.hasExpired())
        if (!m_serial.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    m_modemPoll.stop();
    m_serial.close();
    m_input.clear();
}

void comPort::write(const QString &text) {
    if (!m_serial.isOpen())
        throw Error(PortErrorBase + QSerialPort::NotOpenError,
                    QStringLiteral("Operation not valid when the port is closed"), ComponentName);
    const QByteArray bytes = text.toLatin1();
    const QString device = m_serial.portName();
    // A device that fails the write (gone, other end hung up) is closed by onError; the failure
    // is this call's, so the writer learns it here rather than from a later notification.
    m_writing = true;
    const bool queued = m_serial.write(bytes) == bytes.size();
    if (queued && m_serial.isOpen())
        m_serial.flush(); // start sending now rather than on the next event loop pass
    m_writing = false;
    if (m_writeFailure) {
        const QSerialPort::SerialPortError error = *std::exchange(m_writeFailure, std::nullopt);
        throw Error(PortErrorBase + error,
                    m_errorText.isEmpty() ? QStringLiteral("Serial port failure on %1").arg(device)
                                          : m_errorText,
                    ComponentName);
    }
    if (!queued)
        fail(device);
}

QByteArray comPort::takeReceived() {
    // What the device holds reaches the port only through its read notification: take it now.
    while (m_serial.isOpen() && m_serial.waitForReadyRead(0))
        ;
    return std::exchange(m_input, QByteArray());
}

void comPort::onReadyRead() {
    m_input += m_serial.readAll();
    // Delivered from the event loop, all that has arrived by then in one batch: a handler that
    // waits for its own writes (and so reads the device meanwhile) is never entered twice.
    if (m_deliveryQueued || m_input.isEmpty())
        return;
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(this, &comPort::deliverReceived, Qt::QueuedConnection);
}

void comPort::deliverReceived() {
    m_deliveryQueued = false;
    const QByteArray bytes = std::exchange(m_input, QByteArray());
    if (bytes.isEmpty())
        return; // taken by a new holder of the line, or dropped by close()
    emit received(bytes);
    for (auto n = std::count(bytes.begin(), bytes.end(), EndOfFileChar); n > 0; --n)
        notify(EndOfFile);
}

void comPort::onBytesWritten() {
    if (m_serial.bytesToWrite() == 0)
        notify(SendEvent);
}

void comPort::pollModemLines() {
    int bits = 0;
    if (!m_serial.isOpen() || ::ioctl(m_serial.handle(), TIOCMGET, &bits) != 0) {
        m_modemPoll.stop(); // no modem lines on this device (or it is gone: onError says so)
        return;
    }
    const int before = m_modemLines;
    m_modemLines = bits;
    if (before < 0)
        return; // the first read only sets the baseline
    for (const ModemLine &line : modemLines)
        if ((before ^ bits) & line.bit)
            notify(line.kind);
    if ((bits & TIOCM_RNG) && !(before & TIOCM_RNG))
        notify(Ring);
}

void comPort::onError(QSerialPort::SerialPortError error) {
    // A failed open is reported by open() itself, which needs the error kept to say why.
    if (error == QSerialPort::NoError || m_opening)
        return;
    m_errorText = m_serial.errorString();
    m_serial.clearError();
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        // The device is gone (unplugged, the other end hung up): an open descriptor on it would
        // only report the same end again and again, as fast as it can be polled. Characters
        // already received are still delivered.
        m_modemPoll.stop();
        m_serial.close();
        if (m_writing)
            m_writeFailure = error; // write() throws it
        else
            notify(LineLost);
        return;
    }
    notify(qint16(qint16(ErrorKind) + int(error)));
}

void comPort::notify(qint16 kind) {
    m_event = kind;
    emit OnComm();
}

void comPort::failOpen(const QString &device) {
    const QSerialPort::SerialPortError error = m_serial.error();
    // The platform calls a device that another program holds a "permission error while
    // locking"; when we may use the device at all, that is what it means. Otherwise a second
    // look at the device tells missing, not allowed and not a serial device apart.
    DeviceCheck check;
    if (error == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0)
        check = DeviceCheck::inUse(device);
    else
        check = DeviceCheck::of(device);
    if (check.usable() || check.verdict == DeviceCheck::Verdict::Failed)
        fail(device);
    m_serial.clearError();
    throw Error(PortErrorBase + error, check.text);
}

void comPort::fail(const QString &device) {
    const QSerialPort::SerialPortError error = m_serial.error();
    QString description = m_serial.errorString();
    if (description.isEmpty() || error == QSerialPort::NoError)
        description = QStringLiteral("Serial port failure on %1").arg(device);
    m_serial.clearError();
    throw Error(PortErrorBase + error, description, ComponentName);
}

} // namespace Kavvix
