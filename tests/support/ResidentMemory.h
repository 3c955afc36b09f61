#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace KavvixTest {

// Resident memory (VmRSS) of a process in KiB, of this one by default; -1 when unknown.
inline long residentKiB(qint64 pid = 0) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace KavvixTest
