#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace KavvixCli {

// Tells systemd how a Type=notify service is doing: ready, reloading, stopping, and, when the
// unit has a watchdog, that the event loop still turns. The ping comes from a timer on the
// service's own event loop, so a loop that hangs stops pinging and systemd restarts the
// service. Does nothing when not started by systemd (or built without libsystemd).
class SystemdNotifier : public QObject {
    Q_OBJECT

public:
    explicit SystemdNotifier(QObject *parent = nullptr);
    ~SystemdNotifier() override;

    void ready(const QString &status);
    void reloading();
    void stopping();

private:
    static void notify(const QByteArray &state);

    QTimer m_watchdog;
};

} // namespace KavvixCli
