#pragma once

#include <kavvix/JobResult.h>

#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace Kavvix {

class ConsoleLink;
class MeetContext;

// Starts uploads and connection tests on the service's line, one at a time, and reports what
// they say. A successful upload makes its event the one judged dives are filed under.
class JobLauncher : public QObject {
    Q_OBJECT

public:
    JobLauncher(const QSqlDatabase &db, MeetContext &meet, ConsoleLink &link,
                QObject *parent = nullptr);

    bool busy() const;
    // Without a line (a service that only serves stored results) no job can start.
    void setLineAvailable(bool available) { m_lineAvailable = available; }
    bool lineAvailable() const { return m_lineAvailable; }
    // False when a job runs already.
    bool startUpload(const QString &eventId, const QString &diveOrderCommand);
    bool startConnectionTest();
    // Ends the running job as Aborted; false when none runs.
    bool cancel();
    // "upload" or "test" while one runs, else empty.
    QString running() const;

signals:
    // job: "upload" or "test".
    void message(const QString &job, const QString &text);
    void finished(const QString &job, const Kavvix::JobResult &result);
    // The upload wrote frame number sent of total.
    void progress(const QString &job, int sent, int total);

private:
    QSqlDatabase m_db;
    MeetContext &m_meet;
    ConsoleLink &m_link;
    bool m_lineAvailable = true;
};

} // namespace Kavvix
