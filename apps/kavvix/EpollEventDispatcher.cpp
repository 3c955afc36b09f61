#include "EpollEventDispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace Kavvix {

namespace {

// Ready descriptors taken from the kernel per pass; more stay ready for the next one.
constexpr int MaxEventsPerWait = 1024;

} // namespace

EpollEventDispatcher::EpollEventDispatcher(QObject *parent) : QAbstractEventDispatcher(parent) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wakeEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_epoll < 0 || m_wakeEpoll < 0 || m_wakeFd < 0)
        throw std::runtime_error(std::string("event dispatcher: ") + std::strerror(errno));
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_wakeFd;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &event);
    ::epoll_ctl(m_wakeEpoll, EPOLL_CTL_ADD, m_wakeFd, &event);
}

EpollEventDispatcher::~EpollEventDispatcher() {
    ::close(m_wakeFd);
    ::close(m_wakeEpoll);
    ::close(m_epoll);
}

void EpollEventDispatcher::registerSocketNotifier(QSocketNotifier *notifier) {
    const int fd = int(notifier->socket());
    Watch &entry = m_watches[fd];
    switch (notifier->type()) {
    case QSocketNotifier::Read:
        entry.read = notifier;
        break;
    case QSocketNotifier::Write:
        entry.write = notifier;
        break;
    case QSocketNotifier::Exception:
        entry.exception = notifier;
        break;
    }
    watch(fd);
}

void EpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier *notifier) {
    const auto it = m_watches.find(int(notifier->socket()));
    if (it == m_watches.end())
        return;
    for (QSocketNotifier **slot : {&it->second.read, &it->second.write, &it->second.exception})
        if (*slot == notifier)
            *slot = nullptr;
    watch(it->first);
}

// Tells the kernel what the descriptor's notifiers wait for; forgets a descriptor none waits on.
void EpollEventDispatcher::watch(int fd) {
    const auto it = m_watches.find(fd);
    Watch &entry = it->second;
    const std::uint32_t wanted = (entry.read ? std::uint32_t(EPOLLIN) : 0u) |
                                 (entry.write ? std::uint32_t(EPOLLOUT) : 0u) |
                                 (entry.exception ? std::uint32_t(EPOLLPRI) : 0u);
    epoll_event event{};
    event.events = wanted;
    event.data.fd = fd;
    if (wanted == 0) {
        // Already closed, it left the kernel's set by itself: the error is of no interest.
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, &event);
        m_alwaysReady.erase(fd);
        m_watches.erase(it);
        return;
    }
    if (wanted == entry.events)
        return;
    const int first = entry.events ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    if (::epoll_ctl(m_epoll, first, fd, &event) != 0) {
        // The descriptor was closed and its number given again (MOD: ENOENT), or is still in
        // the set from before (ADD: EEXIST).
        const int second = first == EPOLL_CTL_MOD ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
        if (::epoll_ctl(m_epoll, second, fd, &event) != 0) {
            // A regular file (or /dev/null) is refused with EPERM: it is always ready, as
            // poll() would say, so every pass reports it.
            if (errno == EPERM) {
                m_alwaysReady.insert(fd);
                entry.events = wanted;
            } else {
                qWarning("event dispatcher: cannot watch descriptor %d: %s", fd,
                         std::strerror(errno));
                entry.events = 0;
            }
            return;
        }
    }
    m_alwaysReady.erase(fd);
    entry.events = wanted;
}

void EpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                         QObject *object) {
    Timer &timer = m_timers[timerId];
    timer.intervalMs = interval;
    timer.type = timerType;
    timer.object = object;
    timer.due = Clock::now() + std::chrono::milliseconds(interval);
    timer.firing = false;
}

bool EpollEventDispatcher::unregisterTimer(int timerId) {
    return m_timers.erase(timerId) > 0;
}

bool EpollEventDispatcher::unregisterTimers(QObject *object) {
    return std::erase_if(m_timers,
                         [object](const auto &entry) { return entry.second.object == object; }) > 0;
}

QList<QAbstractEventDispatcher::TimerInfo>
EpollEventDispatcher::registeredTimers(QObject *object) const {
    QList<TimerInfo> timers;
    for (const auto &[id, timer] : m_timers)
        if (timer.object == object)
            timers.append(TimerInfo(id, int(timer.intervalMs), timer.type));
    return timers;
}

int EpollEventDispatcher::remainingTime(int timerId) {
    const auto it = m_timers.find(timerId);
    if (it == m_timers.end())
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(it->second.due - Clock::now());
    return int(qMax<qint64>(0, left.count()));
}

void EpollEventDispatcher::wakeUp() {
    // One write stands for every wake-up until the loop has taken it.
    if (m_wakeUpPending.exchange(true))
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void EpollEventDispatcher::interrupt() {
    m_interrupted = true;
    wakeUp();
}

void EpollEventDispatcher::drainWakeUps() {
    // Taken before the flag is cleared: a wake-up in between was for an event that the next
    // pass delivers anyway, while the other order could leave the flag set with nothing to read,
    // and the loop deaf to every later wake-up.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
    m_wakeUpPending = false;
}

int EpollEventDispatcher::waitMs() const {
    if (m_timers.empty())
        return -1;
    auto next = Clock::time_point::max();
    for (const auto &[id, timer] : m_timers)
        if (!timer.firing && timer.due < next)
            next = timer.due;
    if (next == Clock::time_point::max())
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(next - Clock::now()).count();
    // Rounded up: waking before the timer is due would only mean waiting again.
    return left <= 0 ? 0 : int(qMin<qint64>((left + 999) / 1000, 24 * 3600 * 1000));
}

bool EpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    m_interrupted = false;
    emit awake();
    QCoreApplication::sendPostedEvents();
    const bool mayWait = flags.testFlag(QEventLoop::WaitForMoreEvents) && !m_interrupted;
    if (mayWait)
        emit aboutToBlock();
    if (m_interrupted)
        return false;
    // Without the sockets, a ready one must not end the wait (nor, still ready, every next).
    const bool sockets = !flags.testFlag(QEventLoop::ExcludeSocketNotifiers);
    const bool readyAnyway = sockets && !m_alwaysReady.empty();
    const int timeout = mayWait && !readyAnyway ? waitMs() : 0;
    epoll_event events[MaxEventsPerWait];
    int count = ::epoll_wait(sockets ? m_epoll : m_wakeEpoll, events, MaxEventsPerWait, timeout);
    if (count < 0)
        count = 0; // EINTR: a signal; the next pass waits again
    if (readyAnyway)
        for (const int fd : m_alwaysReady)
            if (count < MaxEventsPerWait)
                events[count++] = epoll_event{m_watches[fd].events, {.fd = fd}};
    int delivered = 0;
    if (sockets)
        delivered += activateSockets(events, count);
    else if (count > 0)
        drainWakeUps();
    if (!flags.testFlag(QEventLoop::X11ExcludeTimers))
        delivered += activateTimers();
    return delivered > 0;
}

int EpollEventDispatcher::activateSockets(const epoll_event *events, int count) {
    // Taken first, delivered after: a notifier may disable or delete others as it runs, so
    // each one is looked up again just before its turn.
    struct Ready {
        int fd;
        QSocketNotifier::Type type;
    };
    std::vector<Ready> ready;
    ready.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const int fd = events[i].data.fd;
        if (fd == m_wakeFd) {
            drainWakeUps();
            continue;
        }
        const std::uint32_t what = events[i].events;
        // A hang-up or an error is news for whoever reads or writes, as with poll().
        const bool broken = what & (EPOLLHUP | EPOLLERR);
        if (what & EPOLLIN || broken)
            ready.push_back({fd, QSocketNotifier::Read});
        if (what & EPOLLOUT || broken)
            ready.push_back({fd, QSocketNotifier::Write});
        if (what & EPOLLPRI)
            ready.push_back({fd, QSocketNotifier::Exception});
    }
    int delivered = 0;
    for (const Ready &entry : ready) {
        const auto it = m_watches.find(entry.fd);
        if (it == m_watches.end())
            continue;
        QSocketNotifier *notifier = entry.type == QSocketNotifier::Read    ? it->second.read
                                    : entry.type == QSocketNotifier::Write ? it->second.write
                                                                           : it->second.exception;
        if (!notifier)
            continue;
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &event);
        ++delivered;
    }
    return delivered;
}

int EpollEventDispatcher::activateTimers() {
    if (m_timers.empty())
        return 0;
    const auto now = Clock::now();
    std::vector<std::pair<Clock::time_point, int>> due;
    for (const auto &[id, timer] : m_timers)
        if (!timer.firing && timer.due <= now)
            due.emplace_back(timer.due, id);
    // In the order they fell due, as a late wake-up finds several at once.
    std::sort(due.begin(), due.end());
    int delivered = 0;
    for (const auto &[when, id] : due) {
        auto it = m_timers.find(id);
        // Stopped by an earlier one, being delivered further up, or started anew under the id.
        if (it == m_timers.end() || it->second.firing || it->second.due > now)
            continue;
        Timer &timer = it->second;
        const auto interval = std::chrono::milliseconds(timer.intervalMs);
        // The next time is kept to the timer's own rhythm unless the loop fell behind it.
        timer.due += interval;
        if (timer.due <= now)
            timer.due = now + interval;
        timer.firing = true;
        QObject *object = timer.object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++delivered;
        // The handler may have stopped it, or stopped and started it again under the same id.
        it = m_timers.find(id);
        if (it != m_timers.end())
            it->second.firing = false;
    }
    return delivered;
}

} // namespace Kavvix
