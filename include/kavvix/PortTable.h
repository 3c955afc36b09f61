#pragma once

#include <kavvix/export.h>

#include <QString>
#include <QtGlobal>

// The serial port part of the shared module: which device a port number names and whether it
// can be opened. The upload dialog's port list is in <kavvix/PortList.h>.
namespace Kavvix::modKavvix {

// Lowest and highest port numbers the port list probes.
inline constexpr qint16 FirstPortNumber = 1;
inline constexpr qint16 LastPortNumber = 16;

// The line to the timing console: 9600 baud, even parity, 8 data bits, 1 stop bit.
inline const QString ConsoleLineSettings = QStringLiteral("9600,e,8,1");

// The environment variable that maps port number n to a device: "KAVVIX_COM" + n.
KAVVIX_EXPORT QString PortVariable(qint16 iPort);
// Points port number n at a device for this process (sets PortVariable(n)).
KAVVIX_EXPORT void MapPort(qint16 iPort, const QString &device);

// The device a port number names. The environment variable KAVVIX_COM<n> (for example
// KAVVIX_COM3=/dev/ttyUSB0) overrides entry n; otherwise the fixed table
//   1-4  /dev/ttyS0  .. /dev/ttyS3    (on-board and PCI serial ports)
//   5-12 /dev/ttyUSB0 .. /dev/ttyUSB7 (USB serial adapters)
//   13-16 /dev/ttyACM0 .. /dev/ttyACM3 (USB modem-class devices)
// applies. Empty for a number with neither.
KAVVIX_EXPORT QString PortDevice(qint16 iPort);

// True when the device of port iPort can be opened for raw reading and writing right now (it
// exists and no one holds it exclusively); it is closed again at once.
KAVVIX_EXPORT bool PortAvailable(qint16 iPort);

} // namespace Kavvix::modKavvix
