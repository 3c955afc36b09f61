#pragma once

#include <kavvix/ConsoleJob.h>

#include <QString>

#include <memory>
#include <vector>

namespace Kavvix::Bindings {

// Gives this process a QCoreApplication, which the jobs' timers and serial port need, unless
// the host made one already. It lives as long as the process.
void ensureApplication();

// An upload or a connection test started for a host that does not know Qt: the job, the meet
// database it reads (opened here, under a connection name of its own) and its serial device.
class HostJob {
public:
    // database: an SQLite file or a postgresql:// URL; order "A" to "D"; device a path. Throws
    // BindingError when an argument is wrong or the database lacks the meet.
    static std::unique_ptr<HostJob> upload(const QString &database, const QString &meetId,
                                           const QString &eventId, const QString &order,
                                           const QString &device);
    static std::unique_ptr<HostJob> connectionTest(const QString &device);
    ~HostJob();

    ConsoleJob &job() { return *m_job; }
    // Points port number 1 at the device and starts; the job may finish before this returns.
    void start();

private:
    HostJob(const QString &device, const QString &connectionName);

    QString m_device;
    QString m_connectionName; // of the meet database, empty for a connection test
    std::unique_ptr<ConsoleJob> m_job;
};

// Runs the calling thread's event loop for at most timeoutMs, or until one of the jobs
// finishes (or, with untilMessage, emits a message line).
void runEventLoop(int timeoutMs, const std::vector<ConsoleJob *> &jobs, bool untilMessage);

} // namespace Kavvix::Bindings
