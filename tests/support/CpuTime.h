#pragma once

#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>

namespace KavvixTest {

// The user and system time a process has used so far, in seconds; -1 when unknown.
inline double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command's closing parenthesis; utime and stime are 14th and 15th.
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(::sysconf(_SC_CLK_TCK));
}

} // namespace KavvixTest
