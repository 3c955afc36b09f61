#include "JobLauncher.h"

#include "ConsoleLink.h"
#include "MeetContext.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/UploadJob.h>

namespace Kavvix {

namespace {

const QString UploadName = QStringLiteral("upload");
const QString TestName = QStringLiteral("test");

} // namespace

JobLauncher::JobLauncher(const QSqlDatabase &db, MeetContext &meet, ConsoleLink &link,
                         QObject *parent)
    : QObject(parent), m_db(db), m_meet(meet), m_link(link) {}

bool JobLauncher::busy() const {
    return m_link.jobRunning();
}

bool JobLauncher::startUpload(const QString &eventId, const QString &diveOrderCommand) {
    if (busy() || !m_lineAvailable)
        return false;
    auto *job = new UploadJob(m_db, m_meet.meetId(), eventId);
    job->setDiveOrderCommand(diveOrderCommand);
    connect(job, &ConsoleJob::message, this,
            [this](const QString &text) { emit message(UploadName, text); });
    connect(job, &UploadJob::progress, this,
            [this](int sent, int total) { emit progress(UploadName, sent, total); });
    connect(job, &ConsoleJob::finished, this, [this, eventId](const JobResult &result) {
        if (result.kind == JobResult::Kind::Sent)
            m_meet.setCurrentEvent(eventId);
        emit finished(UploadName, result);
    });
    return m_link.runJob(job);
}

bool JobLauncher::startConnectionTest() {
    if (busy() || !m_lineAvailable)
        return false;
    auto *job = new ConnectionTestJob;
    connect(job, &ConsoleJob::message, this,
            [this](const QString &text) { emit message(TestName, text); });
    connect(job, &ConsoleJob::finished, this,
            [this](const JobResult &result) { emit finished(TestName, result); });
    return m_link.runJob(job);
}

bool JobLauncher::cancel() {
    ConsoleJob *job = m_link.job();
    if (!job || !job->isRunning())
        return false;
    job->cancel();
    return true;
}

QString JobLauncher::running() const {
    ConsoleJob *job = m_link.job();
    if (!job)
        return {};
    return qobject_cast<UploadJob *>(job) ? UploadName : TestName;
}

} // namespace Kavvix
