#pragma once

#include <kavvix/PortTable.h>

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
            Kavvix::modKavvix::MapPort(
                n, devices.value(n, QStringLiteral("/nonexistent/kavvix-port")));
    }
    ~PortEnvironment() {
        for (qint16 n = Kavvix::modKavvix::FirstPortNumber; n <= Kavvix::modKavvix::LastPortNumber;
             ++n)
            qunsetenv(qPrintable(Kavvix::modKavvix::PortVariable(n)));
    }
    PortEnvironment(const PortEnvironment &) = delete;
    PortEnvironment &operator=(const PortEnvironment &) = delete;
};

} // namespace KavvixTest
