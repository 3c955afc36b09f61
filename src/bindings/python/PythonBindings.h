#pragma once

// Python's headers come before Qt's, which define "slots" as a macro.
#include <pybind11/pybind11.h>

#include "bindings/common/BindingError.h"
#include "bindings/common/HostValues.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

// What the classes of the Python module share. Each bind function adds one class (or a family
// of small ones) to the module.
namespace Kavvix::Python {

namespace py = pybind11;

void bindValues(py::module_ &m);
void bindColoradoData(py::module_ &m);
void bindDaktronicsData(py::module_ &m);
void bindDakProcessor(py::module_ &m);
void bindDakResponse(py::module_ &m);
void bindJob(py::module_ &m);

// The parser had a message for the host: raised as kavvix.ParseError.
class ParseFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text from Python: a str as it stands, or bytes as the serial line gives them (one byte, one
// character). A str that cannot be written as UTF-8 (lone surrogates) raises UnicodeEncodeError.
QString textOf(const py::handle &text);
py::str toPython(const QString &text);

// Parses the text and returns the parser's score set; the parser's message raises ParseError.
template <class Parser> Bindings::ScoreSetValues parseText(Parser &parser, const py::handle &text);

// An object that close() releases; using it afterwards raises kavvix.ClosedError. A call holds
// the object while it runs, so a callback may close it safely.
template <class T> class Closable {
public:
    explicit Closable(const char *what) : m_what(what) {}

    std::shared_ptr<T> get() const {
        if (!m_object)
            throw Bindings::BindingError(Bindings::BindingError::Kind::ClosedHandle,
                                         QStringLiteral("this %1 is closed").arg(m_what));
        return m_object;
    }
    bool isOpen() const { return m_object != nullptr; }
    void open(std::shared_ptr<T> object) { m_object = std::move(object); }
    void close() { m_object.reset(); }

private:
    const char *m_what;
    std::shared_ptr<T> m_object;
};

// Adds close(), __enter__ and __exit__ to a class whose close() is a member.
template <class Class> void addClosing(Class &cls) {
    using Self = typename Class::type;
    cls.def("close", &Self::close, "Releases the object; using it afterwards raises ClosedError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Self &self, py::args) { self.close(); });
}

// The events one feed raised, and the first exception a callback raised: once a callback has
// raised, the rest of the feed still reaches the receiver but calls no callback, and feed()
// raises that exception.
class EventSink {
public:
    void raise(py::object event, const py::object &callback, const py::tuple &arguments);
    // The events, or the callback's exception; either way the sink is empty again.
    py::list take();

private:
    py::list m_events;
    std::unique_ptr<py::error_already_set> m_failure;
};

// The bytes of a bytes-like object (bytes, bytearray, memoryview of bytes).
std::pair<const char *, qsizetype> bytesOf(const py::buffer &data);

template <class Parser> Bindings::ScoreSetValues parseText(Parser &parser, const py::handle &text) {
    const QString message = parser.ParseData(textOf(text));
    if (!message.isEmpty())
        throw ParseFailure(message.toStdString());
    return Bindings::readScoreSet(parser);
}

} // namespace Kavvix::Python
