#pragma once

#include <kavvix/PortTable.h>

#include <QByteArray>
#include <QMap>
#include <QString>

namespace KavvixTest {

// Points port numbers at devices through KAVVIX_COM<n> for the life of the object; every port
// not named is pointed at a path that does not exist, so the machine's own ports never show.
class PortEnvironment {
public:
    explicit PortEnvironment(const QMap<qint16, QString> &devices) {
        for (qint16 n = Kavvix::modKavvix::FirstPortNumber; n <= Kavvix::modKavvix::LastPortNumber;
             ++n)
            qputenv(name(n),
                    devices.value(n, QStringLiteral("/nonexistent/kavvix-port")).toLocal8Bit());
    }
    ~PortEnvironment() {
        for (qint16 n = Kavvix::modKavvix::FirstPortNumber; n <= Kavvix::modKavvix::LastPortNumber;
             ++n)
            qunsetenv(name(n));
    }
    PortEnvironment(const PortEnvironment &) = delete;
    PortEnvironment &operator=(const PortEnvironment &) = delete;

    static QByteArray name(qint16 n) { return "KAVVIX_COM" + QByteArray::number(n); }
};

} // namespace KavvixTest
