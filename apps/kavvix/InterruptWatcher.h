#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace KavvixCli {

// Turns SIGINT and SIGTERM into a Qt signal on the event loop, so a long-running command
// (monitor, simulate) stops cleanly: ports closed, output flushed.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    // Also turns SIGHUP into hangup() (a long-running service reloads on it).
    void watchHangup();

signals:
    void interrupted(int signalNumber);
    void hangup();

private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_watchesHangup = false;
};

} // namespace KavvixCli
