#pragma once

#include <kavvix/export.h>

#include <QString>
#include <QStringList>

namespace Kavvix {

// Why a serial device cannot be used, in words that say what to do: missing (plug it in), in
// use (by whom, when /proc shows it), not allowed (join the dialout group), or not a serial
// device at all. The text always names the device as given.
struct KAVVIX_EXPORT DeviceCheck {
    enum class Verdict { Usable, Missing, InUse, NoPermission, NotSerial, Failed };

    Verdict verdict = Verdict::Usable;
    QString text; // one line; empty when usable

    bool usable() const { return verdict == Verdict::Usable; }

    // Opens the device the way the serial port does (read and write, no controlling terminal,
    // without waiting for a carrier) and closes it again at once.
    static DeviceCheck of(const QString &device);
    // The device is held by another program: names the program when /proc shows it.
    static DeviceCheck inUse(const QString &device);
    // "minicom (pid 4242)": the process whose lock file holds the device, else every other
    // process that has the device open, as far as this user may look into /proc.
    static QStringList holders(const QString &device);
};

} // namespace Kavvix
