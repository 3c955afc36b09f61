// kavvix.DakProcessor: the timing console's versions, judged dives and errors.
#include "PythonBindings.h"
#include "Values.h"

#include "bindings/common/ByteFeed.h"

#include <kavvix/cDakProcessor.h>

namespace Kavvix::Python {

namespace {

class DakProcessor {
public:
    DakProcessor(py::object onVersion, py::object onError, py::object onDive, py::object onRejected)
        : m_onVersion(std::move(onVersion)), m_onError(std::move(onError)),
          m_onDive(std::move(onDive)), m_onRejected(std::move(onRejected)) {
        auto processor = std::make_shared<cDakProcessor>();
        QObject::connect(processor.get(), &cDakProcessor::SoftwareVersion,
                         [this](const QString &s) {
                             m_sink.raise(py::cast(SoftwareVersion{s.toStdString()}), m_onVersion,
                                          py::make_tuple(toPython(s)));
                         });
        QObject::connect(processor.get(), &cDakProcessor::COMMError, [this](const QString &s) {
            m_sink.raise(py::cast(CommError{s.toStdString()}), m_onError,
                         py::make_tuple(toPython(s)));
        });
        QObject::connect(processor.get(), &cDakProcessor::DiveResult, [this](cDiveResult *dive) {
            py::object result = py::cast(Bindings::readDiveResult(*dive));
            m_sink.raise(result, m_onDive, py::make_tuple(result));
        });
        QObject::connect(processor.get(), &cDakProcessor::FrameRejected,
                         [this](const QString &check, const QString &frame) {
                             const QByteArray bytes = frame.toLatin1();
                             py::bytes raw(bytes.constData(), size_t(bytes.size()));
                             m_sink.raise(py::cast(FrameRejected{check.toStdString(), raw}),
                                          m_onRejected, py::make_tuple(toPython(check), raw));
                         });
        m_processor.open(std::move(processor));
    }

    py::list feed(const py::buffer &data) {
        const auto processor = m_processor.get();
        const auto [bytes, size] = bytesOf(data);
        // Bytes fed from a callback join the outer feed, whose result lists their events.
        const bool outer = !m_queue.feeding;
        Bindings::feedBytes(*processor, m_queue, bytes, size);
        return outer ? m_sink.take() : py::list();
    }
    py::bytes softwareVersionRequest() const {
        const QByteArray frame = m_processor.get()->SoftwareVersionRequest().toLatin1();
        return py::bytes(frame.constData(), size_t(frame.size()));
    }
    void close() { m_processor.close(); }

private:
    py::object m_onVersion, m_onError, m_onDive, m_onRejected;
    EventSink m_sink;
    Bindings::FeedQueue m_queue;
    Closable<cDakProcessor> m_processor{"DakProcessor"};
};

} // namespace

void bindDakProcessor(py::module_ &m) {
    py::class_<DakProcessor> cls(
        m, "DakProcessor",
        "Follows the timing console: feed it the bytes the serial line delivers; it reports "
        "the console's software version, judged dives and errors.");
    cls.def(py::init<py::object, py::object, py::object, py::object>(), py::kw_only(),
            py::arg("on_software_version") = py::none(), py::arg("on_comm_error") = py::none(),
            py::arg("on_dive_result") = py::none(), py::arg("on_frame_rejected") = py::none(),
            "Callbacks, all optional: on_software_version(version: str), "
            "on_comm_error(message: str), on_dive_result(dive: DiveResult), "
            "on_frame_rejected(check: str, frame: bytes) for a frame that failed its checks.")
        .def("feed", &DakProcessor::feed, py::arg("data"),
             "Takes received bytes (any number, in arrival order) and returns the events they "
             "completed: SoftwareVersion, CommError, DiveResult and FrameRejected objects, after "
             "calling the "
             "callbacks. When a callback raises, the remaining bytes are still taken in but no "
             "further callback runs, and feed() raises that exception.")
        .def("software_version_request", &DakProcessor::softwareVersionRequest,
             "The frame that asks the console for its software version, to send as it is.");
    addClosing(cls);
}

} // namespace Kavvix::Python
