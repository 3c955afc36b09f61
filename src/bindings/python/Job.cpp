// kavvix._Job: an upload or a connection test, driven by the generators of kavvix/__init__.py.
#include "PythonBindings.h"
#include "Values.h"

#include "bindings/common/HostJob.h"

#include <kavvix/JobResult.h>
#include <kavvix/UploadJob.h>

#include <QStringList>
#include <QThread>

namespace Kavvix::Python {

namespace {

class Job {
public:
    explicit Job(std::unique_ptr<Bindings::HostJob> host) {
        QObject::connect(&host->job(), &ConsoleJob::message,
                         [this](const QString &line) { m_lines << line; });
        if (auto *upload = qobject_cast<UploadJob *>(&host->job()))
            QObject::connect(upload, &UploadJob::progress, [this](int sent, int total) {
                m_progress = {sent, total};
            });
        host->start();
        m_host.open(std::move(host));
    }

    static std::unique_ptr<Job> upload(const py::handle &database, const py::handle &meetId,
                                       const py::handle &eventId, const py::handle &order,
                                       const py::handle &device) {
        return std::make_unique<Job>(Bindings::HostJob::upload(
            textOf(database), textOf(meetId), textOf(eventId), textOf(order), textOf(device)));
    }
    static std::unique_ptr<Job> connectionTest(const py::handle &device) {
        return std::make_unique<Job>(Bindings::HostJob::connectionTest(textOf(device)));
    }

    // The message lines so far; when there are none, runs the event loop until there are, the
    // job ends, or the timeout passes.
    py::list wait(double timeoutSeconds) {
        const auto host = ownHost();
        ConsoleJob &job = host->job();
        if (m_lines.isEmpty() && job.isRunning()) {
            py::gil_scoped_release unlocked; // the loop calls no Python
            Bindings::runEventLoop(int(timeoutSeconds * 1000), {&job}, true);
        }
        py::list lines;
        for (const QString &line : std::exchange(m_lines, {}))
            lines.append(toPython(line));
        return lines;
    }
    bool finished() const { return ownHost()->job().isFinished(); }
    // Frames written of frames to send, (0, 0) before the first (and for a connection test).
    std::pair<int, int> progress() const {
        ownHost();
        return m_progress;
    }
    JobOutcome result() const {
        const JobResult &r = ownHost()->job().result();
        return {r.name().toStdString(), r.succeeded(), r.responseCode.toStdString(),
                r.detail.toStdString()};
    }
    void cancel() { ownHost()->job().cancel(); }
    void close() {
        if (m_host.isOpen())
            cancel();
        m_host.close();
    }

private:
    // The event loop that serves the job is the one of the thread that started it.
    std::shared_ptr<Bindings::HostJob> ownHost() const {
        auto host = m_host.get();
        if (QThread::currentThread() != m_thread)
            throw Bindings::BindingError(Bindings::BindingError::Kind::InvalidArgument,
                                         QStringLiteral("a job is used on its own thread"));
        return host;
    }

    QThread *m_thread = QThread::currentThread();
    QStringList m_lines;
    std::pair<int, int> m_progress{0, 0};
    Closable<Bindings::HostJob> m_host{"job"};
};

} // namespace

void bindJob(py::module_ &m) {
    py::class_<Job>(m, "_Job",
                    "An upload or a connection test; use kavvix.upload() and "
                    "kavvix.test_connection().")
        .def_static("upload", &Job::upload, py::arg("database"), py::arg("meet_id"),
                    py::arg("event_id"), py::arg("order"), py::arg("device"))
        .def_static("connection_test", &Job::connectionTest, py::arg("device"))
        .def("wait", &Job::wait, py::arg("timeout"))
        .def_property_readonly("finished", &Job::finished)
        .def_property_readonly("progress", &Job::progress)
        .def_property_readonly("result", &Job::result)
        .def("cancel", &Job::cancel)
        .def("close", &Job::close);
}

} // namespace Kavvix::Python
