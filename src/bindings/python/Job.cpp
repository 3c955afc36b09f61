// kavvix._Job: an upload or a connection test, driven by the generators of kavvix/__init__.py.
#include "PythonBindings.h"
#include "Values.h"

#include "bindings/common/HostJob.h"

#include <kavvix/JobResult.h>
#include <kavvix/UploadJob.h>

#include <QStringList>
#include <QThread>

#include <mutex>
#include <vector>

namespace Kavvix::Python {

namespace {

// Jobs let go of on a thread other than their own (a generator closed or collected there).
// Their serial port and timers belong to the owner's event loop and may only be cancelled and
// destroyed on that thread, so they wait here until it calls the module again.
class Orphans {
public:
    static void adopt(QThread *owner, std::shared_ptr<Bindings::HostJob> host) {
        std::lock_guard lock(s_mutex);
        s_waiting.emplace_back(owner, std::move(host));
    }
    // Cancels and destroys the orphans of the calling thread.
    static void release() {
        std::vector<std::shared_ptr<Bindings::HostJob>> mine;
        {
            std::lock_guard lock(s_mutex);
            for (auto it = s_waiting.begin(); it != s_waiting.end();) {
                if (it->first == QThread::currentThread()) {
                    mine.push_back(std::move(it->second));
                    it = s_waiting.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (const auto &host : mine)
            host->job().cancel();
    }

private:
    static inline std::mutex s_mutex;
    static inline std::vector<std::pair<QThread *, std::shared_ptr<Bindings::HostJob>>> s_waiting;
};
// Each problem as a dict: check, line, fatal, text, dives (reg_id, diving_order, round),
// dive_count, and divers or missing_orders where the check has them.
py::list validationOf(const JobResult &result) {
    py::list problems;
    for (const ValidationProblem &problem : result.validation) {
        py::list dives;
        for (const DiveAtFault &dive : problem.dives)
            dives.append(py::dict(py::arg("reg_id") = toPython(dive.regId),
                                  py::arg("diving_order") = dive.divingOrder,
                                  py::arg("round") = dive.round));
        py::dict entry(py::arg("check") = toPython(problem.name()),
                       py::arg("line") = toPython(problem.line), py::arg("fatal") = problem.fatal,
                       py::arg("text") = toPython(problem.describe()), py::arg("dives") = dives,
                       py::arg("dive_count") = problem.diveCount);
        if (problem.check == ValidationProblem::Check::TooManyDivers)
            entry["divers"] = problem.divers;
        if (problem.check == ValidationProblem::Check::OrderNotSequential) {
            py::list missing;
            for (const qint16 order : problem.missingOrders)
                missing.append(order);
            entry["missing_orders"] = missing;
            entry["missing_order_count"] = problem.missingOrderCount;
        }
        problems.append(entry);
    }
    return problems;
}

class Job {
public:
    explicit Job(std::unique_ptr<Bindings::HostJob> host) {
        Orphans::release();
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
        Orphans::release();
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
                r.detail.toStdString(), validationOf(r)};
    }
    void cancel() { ownHost()->job().cancel(); }
    // On any thread: the job ends at once on its own thread, or the next time that thread
    // calls the module.
    void close() noexcept {
        if (!m_host.isOpen())
            return;
        std::shared_ptr<Bindings::HostJob> host = m_host.get();
        m_host.close();
        if (QThread::currentThread() == m_thread)
            host->job().cancel();
        else
            Orphans::adopt(m_thread, std::move(host));
    }
    ~Job() { close(); }
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

private:
    // The event loop that serves the job is the one of the thread that started it.
    std::shared_ptr<Bindings::HostJob> ownHost() const {
        auto host = m_host.get();
        if (QThread::currentThread() != m_thread)
            throw Bindings::BindingError(
                Bindings::BindingError::Kind::InvalidArgument,
                QStringLiteral("this job belongs to the thread that started it; use it there"));
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
