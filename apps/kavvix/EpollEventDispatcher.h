#pragma once

#include <QAbstractEventDispatcher>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

struct epoll_event;

namespace Kavvix {

// An event dispatcher on Linux's epoll, for a thread that holds thousands of sockets (the
// service's feed clients). A socket is handed to the kernel once, when its notifier is enabled,
// and a wake-up costs what became ready: Qt's own dispatchers build and scan a list of every
// notifier on each pass, which at 10,000 clients took more time than the broadcast itself.
// Timers are few (the HTTP connections' idle timers at most) and kept in a plain table.
// Posted events wake it through an eventfd.
class EpollEventDispatcher : public QAbstractEventDispatcher {
public:
    explicit EpollEventDispatcher(QObject *parent = nullptr);
    ~EpollEventDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier *notifier) override;
    void unregisterSocketNotifier(QSocketNotifier *notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject *object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject *object) override;
    QList<TimerInfo> registeredTimers(QObject *object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

private:
    using Clock = std::chrono::steady_clock;
    // The notifiers enabled on one descriptor, and the events the kernel watches for them.
    struct Watch {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
        QSocketNotifier *exception = nullptr;
        std::uint32_t events = 0; // 0: not registered with the kernel
    };
    struct Timer {
        qint64 intervalMs = 0;
        Qt::TimerType type = Qt::CoarseTimer;
        QObject *object = nullptr;
        Clock::time_point due;
        bool firing = false; // its event is being delivered: a nested loop does not fire it
    };

    void watch(int fd);
    // Delivers the notifications of one wait; returns how many were delivered.
    int activateSockets(const epoll_event *events, int count);
    int activateTimers();
    // Milliseconds to wait at most: -1 without timers, 0 when one is due.
    int waitMs() const;
    void drainWakeUps();

    int m_epoll = -1;     // the sockets and the wake-up
    int m_wakeEpoll = -1; // the wake-up alone, for a pass that leaves the sockets out
    int m_wakeFd = -1;
    std::atomic<bool> m_wakeUpPending{false};
    std::atomic<bool> m_interrupted{false};
    std::unordered_map<int, Watch> m_watches;
    std::unordered_set<int> m_alwaysReady; // descriptors epoll refuses, such as regular files
    std::unordered_map<int, Timer> m_timers;
};

} // namespace Kavvix
