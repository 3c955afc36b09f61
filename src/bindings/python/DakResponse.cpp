// kavvix.DakResponse: the timing console's answers to an upload's frames.
#include "PythonBindings.h"
#include "Values.h"

#include "bindings/common/ByteFeed.h"

#include <kavvix/cDakResponse.h>

namespace Kavvix::Python {

namespace {

class DakResponse {
public:
    DakResponse(py::object onOk, py::object onError)
        : m_onOk(std::move(onOk)), m_onError(std::move(onError)) {
        auto response = std::make_shared<cDakResponse>();
        cDakResponse *receiver = response.get();
        QObject::connect(receiver, &cDakResponse::ResponseOK,
                         [this] { m_sink.raise(py::cast(ResponseOK{}), m_onOk, py::tuple()); });
        QObject::connect(receiver, &cDakResponse::PacketError, [this, receiver](const QString &s) {
            const QString code = receiver->rejectedCode();
            m_sink.raise(py::cast(PacketError{s.toStdString(), code.toStdString()}), m_onError,
                         py::make_tuple(toPython(s), toPython(code)));
        });
        m_response.open(std::move(response));
    }

    py::list feed(const py::buffer &data) {
        const auto response = m_response.get();
        const auto [bytes, size] = bytesOf(data);
        // Bytes fed from a callback join the outer feed, whose result lists their events.
        const bool outer = !m_queue.feeding;
        Bindings::feedBytes(*response, m_queue, bytes, size);
        return outer ? m_sink.take() : py::list();
    }
    void reset() { m_response.get()->Reset(); }
    void close() { m_response.close(); }

private:
    py::object m_onOk, m_onError;
    EventSink m_sink;
    Bindings::FeedQueue m_queue;
    Closable<cDakResponse> m_response{"DakResponse"};
};

} // namespace

void bindDakResponse(py::module_ &m) {
    py::class_<DakResponse> cls(
        m, "DakResponse", "Listens for the timing console's answers to the frames of an upload.");
    cls.def(py::init<py::object, py::object>(), py::kw_only(),
            py::arg("on_response_ok") = py::none(), py::arg("on_packet_error") = py::none(),
            "Callbacks, both optional: on_response_ok(), "
            "on_packet_error(message: str, response_code: str).")
        .def("feed", &DakResponse::feed, py::arg("data"),
             "Takes received bytes and returns the events they completed: ResponseOK and "
             "PacketError objects, after calling the callbacks; a raising callback is handled as "
             "in DakProcessor.feed.")
        .def("reset", &DakResponse::reset,
             "Forgets what was received and a pending acknowledgement.");
    addClosing(cls);
}

} // namespace Kavvix::Python
