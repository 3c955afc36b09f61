#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace KavvixTest {

// A memory figure of /proc/PID/status in KiB (VmRSS now, VmHWM the peak), of this process by
// default; -1 when unknown.
inline long processMemoryKiB(const QByteArray &field = "VmRSS", qint64 pid = 0) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    return -1;
}

inline long residentKiB(qint64 pid = 0) {
    return processMemoryKiB("VmRSS", pid);
}

} // namespace KavvixTest
