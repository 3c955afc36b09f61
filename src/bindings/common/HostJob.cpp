#include "HostJob.h"

#include "BindingError.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/UploadJob.h>

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace Kavvix::Bindings {

namespace {

// The port number a host's device is reached through, as the tool's --device does.
constexpr qint16 HostPort = 1;

QString requireText(const QString &text, const char *what) {
    if (text.isEmpty())
        throw BindingError(BindingError::Kind::InvalidArgument,
                           QStringLiteral("%1 is empty").arg(QLatin1String(what)));
    return text;
}

} // namespace

void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    // Qt keeps references to argc and argv for the application's whole life.
    static int argc = 1;
    static char name[] = "kavvix";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

HostJob::HostJob(const QString &device, const QString &connectionName)
    : m_device(requireText(device, "the device")), m_connectionName(connectionName) {}

HostJob::~HostJob() {
    m_job.reset(); // it holds a handle of the database
    if (!m_connectionName.isEmpty())
        QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<HostJob> HostJob::upload(const QString &database, const QString &meetId,
                                         const QString &eventId, const QString &order,
                                         const QString &device) {
    const QString command = UploadJob::diveOrderCommand(order);
    if (command.isEmpty())
        throw BindingError(BindingError::Kind::InvalidArgument,
                           QStringLiteral("the dive order is A, B, C or D, not '%1'").arg(order));
    requireText(database, "the database");
    requireText(meetId, "the meet");
    requireText(eventId, "the event");
    ensureApplication();
    static QAtomicInteger<quint64> connections;
    std::unique_ptr<HostJob> host(new HostJob(
        device, QStringLiteral("kavvix-host-job-%1").arg(connections.fetchAndAddRelaxed(1))));
    QSqlDatabase db;
    try {
        db = openMeetDatabase(database, host->m_connectionName);
        requireMeetTables(db);
        if (!hasMeet(db, meetId))
            throw BindingError(BindingError::Kind::Unavailable,
                               QStringLiteral("meet '%1' is not in the database").arg(meetId));
    } catch (const Error &e) {
        throw BindingError(BindingError::Kind::Unavailable, e.description());
    }
    auto job = std::make_unique<UploadJob>(db, meetId, eventId);
    job->setDiveOrderCommand(command);
    host->m_job = std::move(job);
    return host;
}

std::unique_ptr<HostJob> HostJob::connectionTest(const QString &device) {
    ensureApplication();
    std::unique_ptr<HostJob> host(new HostJob(device, {}));
    host->m_job = std::make_unique<ConnectionTestJob>();
    return host;
}

void HostJob::start() {
    modKavvix::MapPort(HostPort, m_device);
    m_job->setCommPort(HostPort);
    m_job->start();
}

void runEventLoop(int timeoutMs, const std::vector<ConsoleJob *> &jobs, bool untilMessage) {
    QEventLoop loop;
    for (ConsoleJob *job : jobs) {
        if (job->isFinished())
            return;
        QObject::connect(job, &ConsoleJob::finished, &loop, &QEventLoop::quit);
        if (untilMessage)
            QObject::connect(job, &ConsoleJob::message, &loop, &QEventLoop::quit);
    }
    QTimer::singleShot(qMax(timeoutMs, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace Kavvix::Bindings
