#pragma once

#include <QObject>
#include <QThread>

#include <memory>

namespace Kavvix {

// A thread for work on a database connection of its own: a connection is used only by the
// thread that opened it, and its notifications are delivered there. call() runs a function on
// the thread and waits for its result; post() only queues it. context() lives on the thread:
// timers and connections made with it run there. The thread ends with the object, after a
// last call of the function given to finishWith() (which closes what runs on the thread).
class ConnectionThread {
public:
    explicit ConnectionThread(const QString &name);
    ~ConnectionThread();
    ConnectionThread(const ConnectionThread &) = delete;
    ConnectionThread &operator=(const ConnectionThread &) = delete;

    QObject *context() const { return m_context.get(); }

    template <typename Function> auto call(Function function) {
        using Result = std::invoke_result_t<Function>;
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(context(), std::move(function), Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(context(), std::move(function), Qt::BlockingQueuedConnection,
                                      &result);
            return result;
        }
    }
    template <typename Function> void post(Function function) {
        QMetaObject::invokeMethod(context(), std::move(function), Qt::QueuedConnection);
    }
    void finishWith(std::function<void()> finish) { m_finish = std::move(finish); }

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
    std::function<void()> m_finish;
};

} // namespace Kavvix
