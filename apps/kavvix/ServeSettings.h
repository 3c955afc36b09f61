#pragma once

#include <kavvix/service/LiveService.h>

#include <QCommandLineParser>
#include <QMap>
#include <QString>
#include <QStringList>

namespace KavvixCli {

// What `kavvix serve` runs with: its configuration file (QSettings INI, one "key = value" a
// line), with the command line's options over it. The file is FILE given by --config, else the
// one $KAVVIX_CONFIG names (set but empty: none), else DefaultFile when it exists.
class ServeSettings {
public:
    static inline const QString DefaultFile = QStringLiteral("/etc/kavvix/kavvix.conf");

    // The options the file may set, each by the name of its command-line option (the file
    // says "database" for --db).
    static void describe(QCommandLineParser &parser);
    // Reads the file and merges the command line over it. Throws UsageError for a bad
    // command line, UserError for a file that cannot be read, has an unknown key, or names a
    // token file that cannot be read.
    static ServeSettings load(const QCommandLineParser &parser);

    // The service's options; maps the console's port to the device when one is named.
    Kavvix::LiveServiceOptions serviceOptions() const;

    QString configFile() const { return m_configFile; }
    QString logFile() const { return value(QStringLiteral("log")); }
    QString token() const { return m_token; }
    // The settings that differ from other's and only take effect at the next start.
    QStringList needRestart(const ServeSettings &other) const;

private:
    QString value(const QString &option) const { return m_values.value(option); }

    QString m_configFile;
    QMap<QString, QString> m_values; // by option name; only the ones given
    QString m_token;
};

} // namespace KavvixCli
