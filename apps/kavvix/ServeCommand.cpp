#include "ServeCommand.h"

#include "InterruptWatcher.h"
#include "PortOption.h"

#include <kavvix/Error.h>
#include <kavvix/service/LiveService.h>

#include <QCoreApplication>

namespace KavvixCli {

namespace {

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

void ServeCommand::describe(QCommandLineParser &parser) const {
    PortOption::describe(parser, true);
    parser.addOptions({
        {QStringLiteral("db"), QStringLiteral("The meet database: an SQLite file or a URL."),
         QStringLiteral("DB")},
        {QStringLiteral("meet"), QStringLiteral("The meet identifier (MeetID)."),
         QStringLiteral("MEET")},
        optionWithDefault(QStringLiteral("listen"),
                          QStringLiteral("Address and port for HTTP and /live."),
                          QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8470")),
        {QStringLiteral("event"),
         QStringLiteral("The meet event judged dives belong to until an upload names another "
                        "(default: none, or the last one uploaded through the service)."),
         QStringLiteral("EVENT")},
        {QStringLiteral("no-console"),
         QStringLiteral("Serve the meet's stored results without a console line (after the "
                        "meet); uploads and connection tests are refused.")},
        {QStringLiteral("token"),
         QStringLiteral("Bearer token for POST and PUT (default: $KAVVIX_TOKEN); needed off "
                        "the loopback address."),
         QStringLiteral("TOKEN")},
        {QStringLiteral("record"),
         QStringLiteral("Append every byte received, with its arrival time, to a recording."),
         QStringLiteral("FILE")},
        {QStringLiteral("journal"),
         QStringLiteral("Journal file for dives the database cannot take yet (default: "
                        "beside an SQLite file, else in ~/.local/share/kavvix)."),
         QStringLiteral("FILE")},
    });
}

int ServeCommand::run(const QCommandLineParser &parser, Console &console) {
    Kavvix::LiveServiceOptions options;
    options.withConsole = !parser.isSet(QStringLiteral("no-console"));
    if (options.withConsole) {
        const ChosenPort port = PortOption::resolve(parser);
        options.portNumber = port.number;
        if (port.byDevice)
            options.portName = port.device();
    } else if (parser.isSet(QStringLiteral("port")) || parser.isSet(QStringLiteral("device"))) {
        throw UsageError(QStringLiteral("--no-console takes no --port or --device"));
    }
    options.database = parser.value(QStringLiteral("db"));
    options.meetId = parser.value(QStringLiteral("meet"));
    if (options.database.isEmpty() || options.meetId.isEmpty())
        throw UsageError(QStringLiteral("--db and --meet are required"));
    parseListen(parser.value(QStringLiteral("listen")), options);
    options.currentEvent = parser.value(QStringLiteral("event"));
    options.token = parser.isSet(QStringLiteral("token")) ? parser.value(QStringLiteral("token"))
                                                          : qEnvironmentVariable("KAVVIX_TOKEN");
    options.journalPath = parser.value(QStringLiteral("journal"));
    options.recordPath = parser.value(QStringLiteral("record"));

    Kavvix::LiveService service(options);
    QObject::connect(&service, &Kavvix::LiveService::logLine, [&](const QString &line) {
        console.err << line << '\n';
        console.err.flush();
    });
    try {
        service.start();
    } catch (const Kavvix::Error &e) {
        throw UserError(e.description());
    }
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&](int signalNumber) {
        console.err << "stopping (signal " << signalNumber << ")\n";
        console.err.flush();
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    service.stop();
    console.err << "stopped\n";
    console.err.flush();
    return Success;
}

} // namespace KavvixCli
