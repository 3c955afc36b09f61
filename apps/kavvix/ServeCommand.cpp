#include "ServeCommand.h"

#include "InterruptWatcher.h"
#include "PortOption.h"
#include "ServeSettings.h"
#include "ServiceLog.h"
#include "SystemdNotifier.h"

#include <kavvix/Error.h>
#include <kavvix/service/LiveService.h>

#include <QCoreApplication>

namespace KavvixCli {

namespace {

// SIGHUP: the log is reopened and the token file read again; settings that only a new start
// can apply (database, meet, line, address...) are named and left as they are.
void reload(const QCommandLineParser &parser, ServeSettings &settings, Kavvix::LiveService &service,
            ServiceLog &log) {
    ServeSettings reloaded;
    try {
        reloaded = ServeSettings::load(parser);
    } catch (const UserError &e) {
        log.write(QStringLiteral("reload: %1; the configuration in use stays").arg(e.message()));
        return;
    }
    if (!log.open(reloaded.logFile()))
        log.write(log.errorText());
    service.setToken(reloaded.token());
    const QStringList restart = settings.needRestart(reloaded);
    log.write(restart.isEmpty()
                  ? QStringLiteral("reload: configuration read again")
                  : QStringLiteral("reload: configuration read again; %1 changed and take effect "
                                   "when the service starts again")
                        .arg(restart.join(QStringLiteral(", "))));
    settings = reloaded;
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
        {QStringLiteral("mirror"),
         QStringLiteral("Serve a PostgreSQL meet database without a console, pushing the dives "
                        "and messages the consoles' services store there; changes are refused.")},
        {QStringLiteral("name"),
         QStringLiteral("The console's name among the meet's consoles (default: console), e.g. "
                        "1m or 3m when two consoles share the meet database."),
         QStringLiteral("NAME")},
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
        {QStringLiteral("idle-timeout"),
         QStringLiteral("Close an HTTP connection idle this long (the /live feed never is)."),
         QStringLiteral("SECONDS"), QStringLiteral("30")},
    });
    ServeSettings::describe(parser);
}

int ServeCommand::run(const QCommandLineParser &parser, Console &console) {
    ServeSettings settings = ServeSettings::load(parser);
    const Kavvix::LiveServiceOptions options = settings.serviceOptions();
    ServiceLog log(console.err);
    if (!log.open(settings.logFile()))
        throw UserError(log.errorText());

    Kavvix::LiveService service(options);
    QObject::connect(&service, &Kavvix::LiveService::logLine,
                     [&](const QString &line) { log.write(line); });
    try {
        service.start();
    } catch (const Kavvix::Error &e) {
        throw UserError(e.description());
    }
    SystemdNotifier systemd;
    systemd.ready(
        QStringLiteral("serving meet %1 on port %2").arg(options.meetId).arg(service.httpPort()));
    InterruptWatcher interrupts;
    interrupts.watchHangup();
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&](int signalNumber) {
        log.write(QStringLiteral("stopping (signal %1)").arg(signalNumber));
        systemd.stopping();
        QCoreApplication::quit();
    });
    QObject::connect(&interrupts, &InterruptWatcher::hangup, [&] {
        systemd.reloading();
        reload(parser, settings, service, log);
        systemd.ready(QStringLiteral("serving meet %1 on port %2 (reloaded)")
                          .arg(options.meetId)
                          .arg(service.httpPort()));
    });
    QCoreApplication::exec();
    service.stop();
    log.write(QStringLiteral("stopped"));
    return Success;
}

} // namespace KavvixCli
