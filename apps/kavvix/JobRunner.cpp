#include "JobRunner.h"

#include "InterruptWatcher.h"
#include "MeetDatabaseOption.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/UploadJob.h>

#include <QEventLoop>
#include <QSqlQuery>
#include <QTime>

#include <unistd.h>

#include <utility>

namespace KavvixCli {

namespace {

bool isListedEvent(const QSqlDatabase &db, const QString &meetId, const QString &eventId) {
    const std::unique_ptr<QSqlQuery> events = Kavvix::modKavvix::GetMeetEvents(meetId, db);
    if (!events)
        return false;
    for (bool row = events->first(); row; row = events->next())
        if (events->value(QStringLiteral("EventID")).toString() == eventId)
            return true;
    return false;
}

} // namespace

QString JobRunner::diveOrderCommand(const QString &letter) {
    const QString command = Kavvix::UploadJob::diveOrderCommand(letter);
    if (command.isEmpty())
        throw UsageError(QStringLiteral("--order takes A, B, C or D, not '%1'").arg(letter));
    return command;
}

void JobRunner::requireUsablePort(qint16 port) {
    const QString device = Kavvix::modKavvix::PortDevice(port);
    if (device.isEmpty())
        throw UserError(QStringLiteral("COM %1 is not mapped to a device (set %2=/dev/...)")
                            .arg(port)
                            .arg(Kavvix::modKavvix::PortVariable(port)));
    if (!Kavvix::modKavvix::PortAvailable(port))
        throw UserError(QStringLiteral("COM %1 (%2) cannot be opened: it is missing or in use")
                            .arg(port)
                            .arg(device));
}

Kavvix::JobResult JobRunner::upload(const QSqlDatabase &db, const QString &meetId,
                                    const QString &eventId, const QString &diveOrderCommand,
                                    qint16 port) {
    requireMeet(db, meetId);
    if (!isListedEvent(db, meetId, eventId))
        throw UserError(QStringLiteral("event '%1' is not an uploadable event of meet '%2'")
                            .arg(eventId, meetId));
    requireUsablePort(port);
    Kavvix::UploadJob job(db, meetId, eventId);
    job.setDiveOrderCommand(diveOrderCommand);
    job.setCommPort(port);
    QObject::connect(&job, &Kavvix::UploadJob::alert,
                     [this](const QString &title, const QString &text) {
                         m_console.err << title << ": " << text << Qt::endl;
                     });
    // On a terminal, a progress bar on standard error below the message lines; standard
    // output keeps the message lines alone.
    if (::isatty(STDERR_FILENO))
        QObject::connect(&job, &Kavvix::UploadJob::progress, [this](int sent, int total) {
            constexpr int Width = 20;
            const int done = total > 0 ? sent * Width / total : 0;
            m_console.err << "\rSending packet " << sent << " of " << total << " ["
                          << QString(done, u'#') << QString(Width - done, u' ') << ']';
            m_console.err.flush();
            m_barShown = true;
        });
    return run(job);
}

Kavvix::JobResult JobRunner::testConnection(qint16 port) {
    requireUsablePort(port);
    Kavvix::ConnectionTestJob job;
    job.setCommPort(port);
    return run(job);
}

Kavvix::JobResult JobRunner::run(Kavvix::ConsoleJob &job) {
    m_messages.clear();
    m_signal = 0;
    m_barShown = false;
    QObject::connect(&job, &Kavvix::ConsoleJob::message, [this](const QString &text) {
        if (std::exchange(m_barShown, false)) { // the bar's line is cleared for the message
            m_console.err << "\r\033[K";
            m_console.err.flush();
        }
        m_messages << text;
        m_console.out << Kavvix::modKavvix::MessageLine(QTime::currentTime(), text) << Qt::endl;
    });
    QEventLoop loop;
    QObject::connect(&job, &Kavvix::ConsoleJob::finished, &loop, &QEventLoop::quit);
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&](int signalNumber) {
        m_signal = signalNumber;
        job.cancel();
    });
    job.start();
    if (!job.isFinished())
        loop.exec();
    return job.result();
}

int JobRunner::exitCode(const Kavvix::JobResult &result) const {
    if (result.succeeded())
        return Success;
    return m_signal != 0 ? 128 + m_signal : Failure;
}

} // namespace KavvixCli
