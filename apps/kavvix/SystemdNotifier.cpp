#include "SystemdNotifier.h"

#ifdef KAVVIX_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace KavvixCli {

SystemdNotifier::SystemdNotifier(QObject *parent) : QObject(parent) {
#ifdef KAVVIX_HAVE_SYSTEMD
    uint64_t intervalUs = 0;
    if (sd_watchdog_enabled(0, &intervalUs) > 0 && intervalUs > 0) {
        // Twice per interval, as systemd advises, so one late turn of the loop is no restart.
        m_watchdog.setInterval(int(qMax<uint64_t>(intervalUs / 2000, 1)));
        connect(&m_watchdog, &QTimer::timeout, this, [] { notify("WATCHDOG=1"); });
        m_watchdog.start();
    }
#endif
}

SystemdNotifier::~SystemdNotifier() = default;

void SystemdNotifier::ready(const QString &status) {
    notify("READY=1\nSTATUS=" + status.toUtf8());
}

void SystemdNotifier::reloading() {
    notify("RELOADING=1");
}

void SystemdNotifier::stopping() {
    m_watchdog.stop();
    notify("STOPPING=1");
}

void SystemdNotifier::notify([[maybe_unused]] const QByteArray &state) {
#ifdef KAVVIX_HAVE_SYSTEMD
    sd_notify(0, state.constData());
#endif
}

} // namespace KavvixCli
