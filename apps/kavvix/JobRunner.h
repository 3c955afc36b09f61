#pragma once

#include "Command.h"
#include "PortOption.h"

#include <kavvix/JobResult.h>

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace Kavvix {
class ConsoleJob;
}

namespace KavvixCli {

// Runs an upload or a connection test without a window, printing the operator's message lines
// as they come ("<time of day> <text>"; error boxes go to standard error as "title: text").
// SIGINT and SIGTERM cancel the job: the port is closed and the command exits with 128 + the
// signal's number.
class JobRunner {
public:
    explicit JobRunner(Console &console) : m_console(console) {}

    // Validates and uploads one event of a meet. Throws UserError for a meet or event that is
    // not in the database, or a port that cannot be used.
    Kavvix::JobResult upload(const QSqlDatabase &db, const QString &meetId, const QString &eventId,
                             const QString &diveOrderCommand, const ChosenPort &port);
    // The connection test.
    Kavvix::JobResult testConnection(const ChosenPort &port);

    // Success for a job that succeeded. Otherwise throws UserError with one line saying why
    // (who is at fault when the event failed its checks), exit code 128 + signal when a
    // signal cancelled it, 1 otherwise.
    int conclude(const Kavvix::JobResult &result) const;

    // The message lines of the last run, without the time of day.
    const QStringList &messages() const { return m_messages; }

    // Command code of a dive order letter A-D ("301"-"304"); throws UsageError otherwise.
    static QString diveOrderCommand(const QString &letter);
    // Throws UserError when the port names no device or the device cannot be opened, saying
    // what to do about it.
    static void requireUsablePort(const ChosenPort &port);

private:
    Kavvix::JobResult run(Kavvix::ConsoleJob &job, const ChosenPort &port);

    Console &m_console;
    QStringList m_messages;
    int m_signal = 0;        // the signal that cancelled the last job, 0 when none
    ChosenPort m_port;       // of the last job
    QString m_eventId;       // of the last upload, empty after a connection test
    bool m_barShown = false; // a progress bar is on standard error's current line
};

} // namespace KavvixCli
