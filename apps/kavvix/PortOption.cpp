#include "PortOption.h"

#include "Command.h"

#include <kavvix/PortTable.h>

namespace KavvixCli {

void PortOption::describe(QCommandLineParser &parser, bool allowDevice) {
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Serial port number 1-16 (COM n; see KAVVIX_COM<n>)."),
                      QStringLiteral("N")});
    if (allowDevice)
        parser.addOption({QStringLiteral("device"),
                          QStringLiteral("Serial device path, instead of a port number."),
                          QStringLiteral("PATH")});
}

qint16 PortOption::resolve(const QCommandLineParser &parser) {
    const bool hasDevice = parser.optionNames().contains(QStringLiteral("device")) &&
                           parser.isSet(QStringLiteral("device"));
    // An empty value given on purpose is a mistake, not an option left out.
    if (hasDevice && parser.value(QStringLiteral("device")).isEmpty())
        devicePath({});
    if (parser.isSet(QStringLiteral("port")) && parser.value(QStringLiteral("port")).isEmpty())
        throw UsageError(QStringLiteral("--port takes a number from %1 to %2, not ''")
                             .arg(Kavvix::modKavvix::FirstPortNumber)
                             .arg(Kavvix::modKavvix::LastPortNumber));
    return resolve(parser.isSet(QStringLiteral("port")) ? parser.value(QStringLiteral("port"))
                                                        : QString(),
                   hasDevice ? parser.value(QStringLiteral("device")) : QString());
}

qint16 PortOption::resolve(const QString &portText, const QString &device) {
    if (portText.isEmpty() && device.isEmpty())
        throw UsageError(QStringLiteral("--port N is required"));
    qint16 port = 1;
    if (!portText.isEmpty()) {
        bool ok = false;
        const int value = portText.toInt(&ok);
        if (!ok || value < Kavvix::modKavvix::FirstPortNumber ||
            value > Kavvix::modKavvix::LastPortNumber)
            throw UsageError(QStringLiteral("--port takes a number from %1 to %2, not '%3'")
                                 .arg(Kavvix::modKavvix::FirstPortNumber)
                                 .arg(Kavvix::modKavvix::LastPortNumber)
                                 .arg(portText));
        port = qint16(value);
    }
    if (!device.isEmpty())
        Kavvix::modKavvix::MapPort(port, devicePath(device));
    return port;
}

QString PortOption::devicePath(const QString &device) {
    if (device.isEmpty())
        throw UsageError(QStringLiteral("--device takes a device path, not an empty text"));
    // The serial port looks for a bare name (ttyUSB0, pts/3) in /dev; every command is told
    // the same path.
    const bool path = device.startsWith(QLatin1Char('/')) ||
                      device.startsWith(QLatin1String("./")) ||
                      device.startsWith(QLatin1String("../"));
    return path ? device : QStringLiteral("/dev/") + device;
}

} // namespace KavvixCli
