#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QThread>

#include <functional>
#include <memory>

namespace Kavvix {

// A thread for work on a database connection of its own: a connection is used only by the
// thread that opened it, and its notifications are delivered there. call() runs a function on
// the thread and waits for its result; post() only queues it. context() lives on the thread:
// connections made with it run there. The thread ends with the object, after a last call of
// the function given to finishWith() (which drops the statements it prepared), and the
// connection with it.
class ConnectionThread {
public:
    explicit ConnectionThread(const QString &name);
    // Finishes, waiting as long as that takes, unless finish() did.
    ~ConnectionThread();
    ConnectionThread(const ConnectionThread &) = delete;
    ConnectionThread &operator=(const ConnectionThread &) = delete;

    QObject *context() const { return m_context.get(); }
    // On the thread: opens the meet database (see openMeetDatabase, which throws) under a
    // connection name of the thread's own.
    QSqlDatabase &open(const QString &pathOrUrl);
    QSqlDatabase &db() { return m_db; }
    // On the thread: runs function there every intervalMs until the thread ends.
    void every(int intervalMs, std::function<void()> function);

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
    // Ends the thread (the function given to finishWith() last), waiting at most waitMs; false
    // when a statement held by a server that does not answer keeps it busy past that. The
    // thread then still uses this object and what it works on: they must be left alive.
    bool finish(unsigned long waitMs);

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
    std::function<void()> m_finish;
    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_finished = false;
};

} // namespace Kavvix
