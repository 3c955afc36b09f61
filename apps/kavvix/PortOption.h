#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QtGlobal>

namespace KavvixCli {

// The console's port as the user chose it: by number, or by device (then mapped to a number,
// which the user never sees).
struct ChosenPort {
    qint16 number = 1;
    bool byDevice = false;

    QString device() const;
    // The port as the user named it, for the tool's own lines: the device path, or "COM n".
    QString name() const;
};

// --port N and --device PATH, shared by the commands that open the console's serial line.
class PortOption {
public:
    static void describe(QCommandLineParser &parser, bool allowDevice);
    // The port to open. With --device, its port number (1 when --port is not given) is mapped
    // to the device through KAVVIX_COM<n>. Throws UsageError for a bad or missing value.
    static ChosenPort resolve(const QCommandLineParser &parser);
    // The same for values from elsewhere (a configuration file): an empty text is not given.
    static ChosenPort resolve(const QString &port, const QString &device);
    // The path a --device value names: a bare name (not /..., ./..., ../...) lies in /dev. Throws
    // UsageError for an empty value.
    static QString devicePath(const QString &device);
};

} // namespace KavvixCli
