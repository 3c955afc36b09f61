#pragma once

#include <QCommandLineParser>
#include <QtGlobal>

namespace KavvixCli {

// --port N and --device PATH, shared by the commands that open the console's serial line.
class PortOption {
public:
    static void describe(QCommandLineParser &parser, bool allowDevice);
    // The port number to open. With --device, that port number (1 when --port is not given)
    // is mapped to the device through KAVVIX_COM<n>. Throws UsageError for a bad or missing
    // value.
    static qint16 resolve(const QCommandLineParser &parser);
    // The same for values from elsewhere (a configuration file): an empty text is not given.
    static qint16 resolve(const QString &port, const QString &device);
    // The path a --device value names: a bare name (not /..., ./..., ../...) lies in /dev. Throws
    // UsageError for an empty value.
    static QString devicePath(const QString &device);
};

} // namespace KavvixCli
