#include "ServeSettings.h"

#include "Command.h"
#include "PortOption.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace KavvixCli {

namespace {

struct Setting {
    const char *option; // on the command line
    const char *key;    // in the configuration file
    bool restart;       // a change takes effect only when the service starts again
};

// The token is left out: it belongs in a file of its own, never in the configuration or on a
// command line a process list shows.
constexpr Setting Settings[] = {
    {"db", "database", true},
    {"meet", "meet", true},
    {"port", "port", true},
    {"device", "device", true},
    {"listen", "listen", true},
    {"event", "event", true},
    {"token-file", "token-file", false},
    {"record", "record", true},
    {"journal", "journal", true},
    {"idle-timeout", "idle-timeout", true},
    {"log", "log", false},
    {"no-console", "no-console", true},
    {"mirror", "mirror", true},
    {"name", "name", true},
};

// A value as text; QSettings reads a value with commas as a list.
QString text(const QVariant &value) {
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                    : value.toString();
}

QMap<QString, QString> readFile(const QString &path) {
    if (!QFileInfo(path).isFile())
        throw UserError(QStringLiteral("config %1: no such file").arg(path));
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        throw UserError(QStringLiteral("config %1: %2").arg(path, probe.errorString()));
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        throw UserError(QStringLiteral("config %1: not a \"key = value\" file").arg(path));
    QMap<QString, QString> values;
    for (const QString &key : file.allKeys()) {
        // QSettings takes only ';' for a comment; "#key = value" is a setting commented out.
        if (key.startsWith(u'#'))
            continue;
        const Setting *known = nullptr;
        for (const Setting &setting : Settings)
            if (key == QLatin1String(setting.key))
                known = &setting;
        if (!known && key == QLatin1String("token"))
            throw UserError(QStringLiteral("config %1: the token goes in a file of its own, "
                                           "named by token-file")
                                .arg(path));
        if (!known)
            throw UserError(QStringLiteral("config %1: unknown setting '%2'").arg(path, key));
        values.insert(QLatin1String(known->option), text(file.value(key)).trimmed());
    }
    return values;
}

QString readToken(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UserError(QStringLiteral("token file %1: %2").arg(path, file.errorString()));
    const QString token = QString::fromUtf8(file.readAll()).trimmed();
    if (token.isEmpty())
        throw UserError(QStringLiteral("token file %1 is empty").arg(path));
    return token;
}

// ADDR:PORT, [v6 address]:PORT, or a bare port on the loopback address.
void parseListen(const QString &text, Kavvix::LiveServiceOptions &options) {
    const qsizetype colon = text.lastIndexOf(u':');
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    const QHostAddress address(host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1")
                                                                  : host);
    if (!ok || port > 65535 || address.isNull())
        throw UsageError(
            QStringLiteral("--listen takes ADDRESS:PORT such as 127.0.0.1:8470, not '%1'")
                .arg(text));
    options.address = address;
    options.httpPort = quint16(port);
}

} // namespace

void ServeSettings::describe(QCommandLineParser &parser) {
    parser.addOptions({
        {QStringLiteral("config"),
         QStringLiteral("Configuration file (default: $KAVVIX_CONFIG, else %1 when it "
                        "exists); the options given here override it.")
             .arg(DefaultFile),
         QStringLiteral("FILE")},
        {QStringLiteral("token-file"),
         QStringLiteral("File holding the bearer token (instead of --token)."),
         QStringLiteral("FILE")},
        {QStringLiteral("log"),
         QStringLiteral("Append the service's lines to FILE instead of standard error; SIGHUP "
                        "reopens it."),
         QStringLiteral("FILE")},
    });
}

ServeSettings ServeSettings::load(const QCommandLineParser &parser) {
    ServeSettings settings;
    if (parser.isSet(QStringLiteral("config")))
        settings.m_configFile = parser.value(QStringLiteral("config"));
    else if (qEnvironmentVariableIsSet("KAVVIX_CONFIG"))
        settings.m_configFile = qEnvironmentVariable("KAVVIX_CONFIG");
    else if (QFileInfo::exists(DefaultFile))
        settings.m_configFile = DefaultFile;
    if (!settings.m_configFile.isEmpty())
        settings.m_values = readFile(settings.m_configFile);

    // The console's line is one setting: a port or a device on the command line replaces
    // both of the file's.
    if (parser.isSet(QStringLiteral("port")) || parser.isSet(QStringLiteral("device"))) {
        PortOption::resolve(parser); // an empty or wrong value is refused as the other commands do
        settings.m_values.remove(QStringLiteral("port"));
        settings.m_values.remove(QStringLiteral("device"));
    }
    for (const Setting &setting : Settings) {
        const QString option = QLatin1String(setting.option);
        if (parser.isSet(option))
            settings.m_values.insert(option, parser.value(option));
        else if (!settings.m_values.contains(option) && !parser.value(option).isEmpty())
            settings.m_values.insert(option, parser.value(option)); // the option's default
    }

    for (const QString &flag : {QStringLiteral("no-console"), QStringLiteral("mirror")}) {
        if (!parser.isSet(flag))
            continue;
        if (parser.isSet(QStringLiteral("port")) || parser.isSet(QStringLiteral("device")))
            throw UsageError(QStringLiteral("--%1 takes no --port or --device").arg(flag));
        settings.m_values.insert(flag, QStringLiteral("true"));
    }

    if (parser.isSet(QStringLiteral("token")))
        settings.m_token = parser.value(QStringLiteral("token"));
    else if (!settings.value(QStringLiteral("token-file")).isEmpty())
        settings.m_token = readToken(settings.value(QStringLiteral("token-file")));
    else
        settings.m_token = qEnvironmentVariable("KAVVIX_TOKEN");
    return settings;
}

Kavvix::LiveServiceOptions ServeSettings::serviceOptions() const {
    Kavvix::LiveServiceOptions options;
    // Without a console the file's port or device is not used.
    options.mirror = value(QStringLiteral("mirror")) == QLatin1String("true");
    options.withConsole =
        value(QStringLiteral("no-console")) != QLatin1String("true") && !options.mirror;
    options.consoleName = value(QStringLiteral("name")).trimmed();
    if (options.mirror && !options.consoleName.isEmpty())
        throw UsageError(QStringLiteral("--mirror takes no --name: a mirror has no console"));
    if (options.consoleName.size() > 64)
        throw UsageError(QStringLiteral("--name takes at most 64 characters"));
    if (options.withConsole) {
        const ChosenPort port =
            PortOption::resolve(value(QStringLiteral("port")), value(QStringLiteral("device")));
        options.portNumber = port.number;
        if (port.byDevice)
            options.portName = port.device();
    }
    options.database = value(QStringLiteral("db"));
    options.meetId = value(QStringLiteral("meet"));
    if (options.database.isEmpty() || options.meetId.isEmpty())
        throw UsageError(QStringLiteral("--db and --meet are required"));
    parseListen(value(QStringLiteral("listen")), options);
    options.currentEvent = value(QStringLiteral("event"));
    options.token = m_token;
    options.journalPath = value(QStringLiteral("journal"));
    options.recordPath = value(QStringLiteral("record"));
    bool idleOk = false;
    const double idleSeconds = value(QStringLiteral("idle-timeout")).toDouble(&idleOk);
    if (!idleOk || !(idleSeconds >= 0.1 && idleSeconds <= 86400))
        throw UsageError(QStringLiteral("--idle-timeout takes seconds from 0.1 to 86400, not '%1'")
                             .arg(value(QStringLiteral("idle-timeout"))));
    options.idleTimeoutMs = int(idleSeconds * 1000);
    return options;
}

QStringList ServeSettings::needRestart(const ServeSettings &other) const {
    QStringList changed;
    for (const Setting &setting : Settings)
        if (setting.restart &&
            value(QLatin1String(setting.option)) != other.value(QLatin1String(setting.option)))
            changed << QLatin1String(setting.key);
    return changed;
}

} // namespace KavvixCli
