// The epoll event dispatcher the service runs on, driven in a thread of its own: timers in
// order and stoppable from their own handler, a notifier deleted by another's handler, and a
// waiting loop woken from outside. The tests of kavvix serve run every kind of socket on it.
#include "EpollEventDispatcher.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs the scenario on a thread whose loop is the epoll dispatcher; the scenario quits the loop
// it is given when done. A scenario that never finishes is stopped after a generous time.
QStringList runOnEpoll(const std::function<void(QEventLoop &, QStringList &)> &scenario) {
    QStringList trace;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&] {
            trace << QStringLiteral("timed out");
            loop.quit();
        });
        QTimer::singleShot(0, &loop, [&] { scenario(loop, trace); });
        loop.exec();
    }));
    thread->setEventDispatcher(new Kavvix::EpollEventDispatcher);
    thread->start();
    EXPECT_TRUE(thread->wait(30000));
    return trace;
}

// Due in the same pass or not (a loaded machine may wake late), timers fire in the order they
// fell due; a repeating one stopped from its own handler fires no more.
TEST(EpollEventDispatcher, TimersFireInTheOrderTheyAreDueAndStopWhenStopped) {
    const QStringList trace = runOnEpoll([](QEventLoop &loop, QStringList &trace) {
        for (const int ms : {40, 0, 15, 30})
            QTimer::singleShot(ms, Qt::PreciseTimer, &loop,
                               [&trace, ms] { trace << QString::number(ms); });
        // Held up past every one of them, the loop finds them all due at once.
        QTimer::singleShot(1, &loop, [] { QThread::msleep(60); });
        auto *repeating = new QTimer(&loop);
        auto ticks = std::make_shared<int>(0);
        QObject::connect(repeating, &QTimer::timeout, &loop, [repeating, ticks] {
            if (++*ticks == 3)
                repeating->stop();
        });
        repeating->start(2);
        QTimer::singleShot(150, &loop, [&trace, &loop, ticks] {
            trace << QStringLiteral("ticks %1").arg(*ticks);
            loop.quit();
        });
    });
    EXPECT_EQ(trace, QStringList({"0", "15", "30", "40", "ticks 3"}));
}

TEST(EpollEventDispatcher, ANotifierDeletedByAnotherIsNotActivated) {
    int first[2], second[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, first), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, second), 0);
    ASSERT_EQ(::write(first[1], "a", 1), 1);
    ASSERT_EQ(::write(second[1], "b", 1), 1);
    const QStringList trace = runOnEpoll([&](QEventLoop &loop, QStringList &trace) {
        // Both are ready in the same wait; whichever comes first deletes the other.
        auto *a = new QSocketNotifier(first[0], QSocketNotifier::Read, &loop);
        auto *b = new QSocketNotifier(second[0], QSocketNotifier::Read, &loop);
        auto takeOver = [&trace, &loop](QSocketNotifier *self, QSocketNotifier *other) {
            trace << QStringLiteral("one activated");
            self->setEnabled(false);
            delete other;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
        };
        QObject::connect(a, &QSocketNotifier::activated, &loop, [=] { takeOver(a, b); });
        QObject::connect(b, &QSocketNotifier::activated, &loop, [=] { takeOver(b, a); });
    });
    for (const int fd : {first[0], first[1], second[0], second[1]})
        ::close(fd);
    EXPECT_EQ(trace, QStringList({"one activated"}));
}

TEST(EpollEventDispatcher, AWaitingLoopIsWokenByEventsPostedFromAnotherThread) {
    QObject *target = nullptr;
    std::atomic<bool> waiting{false};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        QEventLoop loop;
        target = &loop;
        waiting = true;
        loop.exec(); // no timer, no socket: only a posted event can end this
    }));
    thread->setEventDispatcher(new Kavvix::EpollEventDispatcher);
    thread->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return waiting.load(); }, 10000));
    QThread::msleep(50);
    bool ran = false;
    QMetaObject::invokeMethod(
        target, [&] { ran = true; }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(target, "quit", Qt::QueuedConnection);
    EXPECT_TRUE(thread->wait(10000));
    EXPECT_TRUE(ran);
}

} // namespace
