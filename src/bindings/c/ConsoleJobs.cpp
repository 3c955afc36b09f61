// The C interface of the upload and the connection test, and the event loop they run on.
#include "Boundary.h"
#include "bindings/common/HostJob.h"

#include <kavvix/JobResult.h>
#include <kavvix/UploadJob.h>

#include <string>
#include <vector>

namespace Kavvix::CInterface {

namespace {

struct JobHandle {
    JobHandle(std::unique_ptr<Bindings::HostJob> job, const kavvix_job_events &events);

    std::unique_ptr<Bindings::HostJob> host;
    kavvix_job_events events;
    kavvix_progress_fn progressCallback = nullptr;
    int sent = 0, total = 0;
    // The result's texts, kept for the handle's life.
    std::string kind, responseCode, detail;
};

JobHandle::JobHandle(std::unique_ptr<Bindings::HostJob> job, const kavvix_job_events &events)
    : host(std::move(job)), events(events) {
    ConsoleJob &console = host->job();
    if (auto *upload = qobject_cast<UploadJob *>(&console))
        QObject::connect(upload, &UploadJob::progress, [this](int frame, int frames) {
            sent = frame;
            total = frames;
            if (progressCallback)
                progressCallback(this->events.user, sent, total);
        });
    QObject::connect(&console, &ConsoleJob::message, [events](const QString &line) {
        if (events.message)
            events.message(events.user, line.toUtf8().constData());
    });
    QObject::connect(&console, &ConsoleJob::finished, [this, events](const JobResult &r) {
        kind = r.name().toStdString();
        responseCode = r.responseCode.toStdString();
        detail = r.detail.toStdString();
        if (events.finished) {
            const kavvix_job_result result{kind.c_str(), r.succeeded(), responseCode.c_str(),
                                           detail.c_str()};
            events.finished(events.user, &result);
        }
    });
}

HandleTable<JobHandle> &jobs() {
    return HandleTable<JobHandle>::of("job");
}

kavvix_job *startJob(std::unique_ptr<Bindings::HostJob> job, const kavvix_job_events *events) {
    auto handle =
        std::make_shared<JobHandle>(std::move(job), events ? *events : kavvix_job_events{});
    handle->host->start();
    return jobs().add<kavvix_job>(std::move(handle));
}

} // namespace

} // namespace Kavvix::CInterface

using namespace Kavvix::CInterface;

extern "C" {

kavvix_job *kavvix_upload_start(const char *database, const char *meet_id, const char *event_id,
                                const char *order, const char *device,
                                const kavvix_job_events *events) {
    return guardedOpen<kavvix_job>([&] {
        return startJob(Kavvix::Bindings::HostJob::upload(
                            textArgument(database, "database"), textArgument(meet_id, "meet_id"),
                            textArgument(event_id, "event_id"),
                            textArgument(order, "order", QStringLiteral("A")),
                            textArgument(device, "device")),
                        events);
    });
}

kavvix_job *kavvix_connection_test_start(const char *device, const kavvix_job_events *events) {
    return guardedOpen<kavvix_job>([&] {
        return startJob(Kavvix::Bindings::HostJob::connectionTest(textArgument(device, "device")),
                        events);
    });
}

int kavvix_poll(int timeout_ms) {
    return guarded([&] {
        // Held for the whole loop, so a job closed from its own callback outlives the loop.
        std::vector<std::shared_ptr<JobHandle>> running;
        jobs().forEach([&](const std::shared_ptr<JobHandle> &handle) {
            if (handle->host->job().isRunning())
                running.push_back(handle);
        });
        std::vector<Kavvix::ConsoleJob *> consoleJobs;
        for (const auto &handle : running)
            consoleJobs.push_back(&handle->host->job());
        Kavvix::Bindings::ensureApplication();
        Kavvix::Bindings::runEventLoop(timeout_ms, consoleJobs, false);
        int stillRunning = 0;
        for (const auto &handle : running)
            stillRunning += handle->host->job().isRunning();
        return stillRunning;
    });
}

int kavvix_job_result_get(kavvix_job *job, kavvix_job_result *out) {
    return guarded([&] {
        const auto handle = jobs().find(job);
        const Kavvix::ConsoleJob &console = handle->host->job();
        if (!console.isFinished())
            return 0;
        if (out != nullptr)
            *out = kavvix_job_result{handle->kind.c_str(), console.result().succeeded(),
                                     handle->responseCode.c_str(), handle->detail.c_str()};
        return 1;
    });
}

int kavvix_job_on_progress(kavvix_job *job, kavvix_progress_fn callback) {
    return guarded([&] {
        const auto handle = jobs().find(job);
        handle->progressCallback = callback;
        if (callback && handle->sent > 0)
            callback(handle->events.user, handle->sent, handle->total);
        return KAVVIX_OK;
    });
}

int kavvix_job_cancel(kavvix_job *job) {
    return guarded([&] {
        jobs().find(job)->host->job().cancel();
        return KAVVIX_OK;
    });
}

int kavvix_job_close(kavvix_job *job) {
    return guarded([&] {
        if (job == nullptr)
            return KAVVIX_OK;
        // Closed before the cancel, so a finished callback that closes it again is told so.
        const auto handle = jobs().find(job);
        jobs().remove(job);
        handle->host->job().cancel();
        return KAVVIX_OK;
    });
}

} // extern "C"
