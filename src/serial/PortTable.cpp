#include <kavvix/PortTable.h>

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace Kavvix::modKavvix {

QString PortVariable(qint16 iPort) {
    return QStringLiteral("KAVVIX_COM%1").arg(iPort);
}

void MapPort(qint16 iPort, const QString &device) {
    qputenv(qPrintable(PortVariable(iPort)), QFile::encodeName(device));
}

QString PortDevice(qint16 iPort) {
    const QString overridden = qEnvironmentVariable(qPrintable(PortVariable(iPort)));
    if (!overridden.isEmpty())
        return overridden;
    if (iPort >= 1 && iPort <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(iPort - 1);
    if (iPort >= 5 && iPort <= 12)
        return QStringLiteral("/dev/ttyUSB%1").arg(iPort - 5);
    if (iPort >= 13 && iPort <= 16)
        return QStringLiteral("/dev/ttyACM%1").arg(iPort - 13);
    return {};
}

bool PortAvailable(qint16 iPort) {
    const QString device = PortDevice(iPort);
    if (device.isEmpty())
        return false;
    // Non-blocking so a port without carrier does not hang the probe; a port held by an open
    // serial port is exclusive and refuses the open.
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace Kavvix::modKavvix
