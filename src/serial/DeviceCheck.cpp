#include <kavvix/DeviceCheck.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace Kavvix {

namespace {

// At most this many holders are named; a device rarely has more than one.
constexpr int MaxHoldersNamed = 3;

DeviceCheck found(DeviceCheck::Verdict verdict, const QString &text) {
    return DeviceCheck{verdict, text};
}

QString userName(uid_t uid) {
    const passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

// Serial devices belong to the group dialout on Debian; a device whose group may read and
// write it names its own group instead.
DeviceCheck notAllowed(const QString &device, const struct stat &info) {
    const bool groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    const QString group = groupMayUse ? groupName(info.st_gid) : QStringLiteral("dialout");
    return found(DeviceCheck::Verdict::NoPermission,
                 QStringLiteral("you may not open %1 (owner %2, group %3, mode %4): join the "
                                "%5 group (sudo usermod -aG %5 $USER, then log in again)")
                     .arg(device)
                     .arg(userName(info.st_uid))
                     .arg(groupName(info.st_gid))
                     .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'))
                     .arg(group));
}

QString processName(const QString &pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name = comm.open(QIODevice::ReadOnly)
                             ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                             : QStringLiteral("a program");
    return QStringLiteral("%1 (pid %2)").arg(name, pid);
}

// A serial port that opens a device leaves a lock file "LCK.." + its name in /dev (other
// devices: the path) with "/" as "_", holding its process id. The process named in a lock
// file that is still alive holds the device, even where the system would let us open it
// beside that process (as root). Empty when there is none.
QString lockHolder(const QString &device) {
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name = QStringLiteral("LCK..") + name.replace(u'/', u'_');
    const QString self = QString::number(::getpid());
    for (const QString &folder :
         {QStringLiteral("/run/lock"), QStringLiteral("/var/lock"), QStringLiteral("/tmp"),
          QStringLiteral("/var/tmp"), QDir::tempPath()}) {
        QFile lock(folder + u'/' + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QString pid = QString::fromLatin1(lock.readLine(32)).trimmed();
        bool number = false;
        pid.toLongLong(&number);
        if (number && pid != self && QFile::exists(QStringLiteral("/proc/") + pid))
            return processName(pid);
    }
    return {};
}

DeviceCheck missing(const QString &device) {
    return found(DeviceCheck::Verdict::Missing,
                 QStringLiteral("%1 does not exist: is the console's cable or USB serial "
                                "adapter plugged in?")
                     .arg(device));
}

} // namespace

DeviceCheck DeviceCheck::of(const QString &device) {
    if (device.isEmpty())
        return found(Verdict::Missing, QStringLiteral("no serial device given"));
    const QByteArray path = QFile::encodeName(device);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        if (errno == EACCES)
            return found(Verdict::NoPermission,
                         QStringLiteral("you may not look into the folder of %1").arg(device));
        return missing(device);
    }
    if (!S_ISCHR(info.st_mode))
        return found(Verdict::NotSerial, QStringLiteral("%1 is not a serial device").arg(device));
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            return notAllowed(device, info);
        if (error == EBUSY)
            return inUse(device);
        if (error == ENOENT || error == ENXIO || error == ENODEV)
            return missing(device);
        return found(Verdict::Failed,
                     QStringLiteral("cannot open %1: %2")
                         .arg(device, QString::fromLocal8Bit(std::strerror(error))));
    }
    termios settings{};
    const bool terminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!terminal)
        return found(Verdict::NotSerial, QStringLiteral("%1 is not a serial device").arg(device));
    if (!lockHolder(device).isEmpty())
        return inUse(device);
    return {};
}

DeviceCheck DeviceCheck::inUse(const QString &device) {
    const QStringList names = holders(device);
    return found(Verdict::InUse,
                 names.isEmpty()
                     ? QStringLiteral("%1 is in use by another program").arg(device)
                     : QStringLiteral("%1 is in use by %2").arg(device, names.join(u", ")));
}

QStringList DeviceCheck::holders(const QString &device) {
    const QString locked = lockHolder(device);
    if (!locked.isEmpty())
        return {locked};
    struct stat target {};
    if (::stat(QFile::encodeName(device).constData(), &target) != 0 || !S_ISCHR(target.st_mode))
        return {};
    const QString self = QString::number(::getpid());
    QStringList names;
    const QStringList processes =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : processes) {
        if (pid == self)
            continue;
        const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(pid);
        // Only the processes this user may look into; the others' folders cannot be listed.
        for (const QString &fd : QDir(fdFolder).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            struct stat held {};
            const QByteArray link = QFile::encodeName(fdFolder + u'/' + fd);
            if (::stat(link.constData(), &held) != 0 || !S_ISCHR(held.st_mode) ||
                held.st_rdev != target.st_rdev)
                continue;
            names << processName(pid);
            break;
        }
        if (names.size() == MaxHoldersNamed)
            break;
    }
    return names;
}

} // namespace Kavvix
