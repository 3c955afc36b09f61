#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace KavvixTest {

// The device end of a simulator's line, opened raw: reads what the simulator wrote, the way a
// port would, but without a port class in between.
class DeviceEnd {
public:
    explicit DeviceEnd(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~DeviceEnd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DeviceEnd(const DeviceEnd &) = delete;
    DeviceEnd &operator=(const DeviceEnd &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Everything that arrives until nothing more has come for quietMs; the caller's event loop
    // runs meanwhile, so a simulator waiting to write can go on.
    QByteArray readUntilQuiet(int quietMs = 300) {
        QByteArray bytes;
        QDeadlineTimer quiet(quietMs);
        while (!quiet.hasExpired()) {
            QCoreApplication::processEvents();
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, n);
                quiet.setRemainingTime(quietMs);
            }
        }
        return bytes;
    }

private:
    int m_fd;
};

} // namespace KavvixTest
