#include "JobRunner.h"

#include "InterruptWatcher.h"
#include "MeetDatabaseOption.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/DeviceCheck.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/UploadJob.h>

#include <QEventLoop>
#include <QSqlQuery>
#include <QTime>

#include <cstring>
#include <utility>

#include <unistd.h>

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

void JobRunner::requireUsablePort(const ChosenPort &port) {
    const QString device = port.device();
    if (device.isEmpty())
        throw UserError(QStringLiteral("COM %1 is not mapped to a device (set %2=/dev/...)")
                            .arg(port.number)
                            .arg(Kavvix::modKavvix::PortVariable(port.number)));
    const Kavvix::DeviceCheck check = Kavvix::DeviceCheck::of(device);
    if (!check.usable())
        throw UserError(port.byDevice ? check.text
                                      : port.name() + QStringLiteral(": ") + check.text);
}

Kavvix::JobResult JobRunner::upload(const QSqlDatabase &db, const QString &meetId,
                                    const QString &eventId, const QString &diveOrderCommand,
                                    const ChosenPort &port) {
    requireMeet(db, meetId);
    if (!isListedEvent(db, meetId, eventId))
        throw UserError(QStringLiteral("event '%1' is not an uploadable event of meet '%2'")
                            .arg(eventId, meetId));
    requireUsablePort(port);
    Kavvix::UploadJob job(db, meetId, eventId);
    job.setDiveOrderCommand(diveOrderCommand);
    job.setCommPort(port.number);
    m_eventId = eventId;
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
    return run(job, port);
}

Kavvix::JobResult JobRunner::testConnection(const ChosenPort &port) {
    requireUsablePort(port);
    Kavvix::ConnectionTestJob job;
    job.setCommPort(port.number);
    m_eventId.clear();
    return run(job, port);
}

Kavvix::JobResult JobRunner::run(Kavvix::ConsoleJob &job, const ChosenPort &port) {
    m_messages.clear();
    m_signal = 0;
    m_port = port;
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

int JobRunner::conclude(const Kavvix::JobResult &result) const {
    using Kind = Kavvix::JobResult::Kind;
    if (result.succeeded())
        return Success;
    if (m_signal != 0)
        throw UserError(QStringLiteral("stopped by %1; the port is closed")
                            .arg(QString::fromLocal8Bit(::strsignal(m_signal))),
                        128 + m_signal);
    const QString port = m_port.name();
    const QString detail =
        result.detail.isEmpty() ? m_messages.value(m_messages.size() - 1) : result.detail;
    switch (result.kind) {
    case Kind::ValidationFailed:
        throw UserError(QStringLiteral("event %1 cannot be uploaded: %2").arg(m_eventId, detail));
    case Kind::Rejected:
        throw UserError(
            QStringLiteral("the console on %1 answered with an error: %2").arg(port, detail));
    case Kind::NoAnswer:
        throw UserError(QStringLiteral("no answer from the console on %1: is it switched on "
                                       "and its cable plugged in?")
                            .arg(port));
    case Kind::LineLost:
        throw UserError(QStringLiteral("the line to the console on %1 was lost").arg(port));
    case Kind::PortUnavailable:
        throw UserError(detail.contains(m_port.device()) ? detail
                                                         : port + QStringLiteral(": ") + detail);
    default:
        throw UserError(detail.isEmpty() ? QStringLiteral("%1 failed").arg(result.name()) : detail);
    }
}

} // namespace KavvixCli
