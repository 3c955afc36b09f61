// The Python module: the exceptions, the conversions every class uses, and the classes.
#include "PythonBindings.h"

#include <kavvix/Error.h>
#include <kavvix/core.h>

namespace Kavvix::Python {

QString textOf(const py::handle &text) {
    if (PyBytes_Check(text.ptr()) || PyByteArray_Check(text.ptr())) {
        const auto [bytes, size] = bytesOf(py::reinterpret_borrow<py::buffer>(text));
        return QString::fromLatin1(bytes, size);
    }
    if (!PyUnicode_Check(text.ptr()))
        throw py::type_error("text must be str or bytes");
    Py_ssize_t size = 0;
    const char *utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (utf8 == nullptr)
        throw py::error_already_set();
    return QString::fromUtf8(utf8, size);
}

py::str toPython(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    return py::str(utf8.constData(), size_t(utf8.size()));
}

std::pair<const char *, qsizetype> bytesOf(const py::buffer &data) {
    const py::buffer_info info = data.request();
    if (info.itemsize != 1 || info.ndim != 1 || (info.size > 1 && info.strides[0] != 1))
        throw py::value_error("expected contiguous bytes");
    return {static_cast<const char *>(info.ptr), qsizetype(info.size)};
}

void EventSink::raise(py::object event, const py::object &callback, const py::tuple &arguments) {
    m_events.append(std::move(event));
    if (callback.is_none() || m_failure)
        return;
    try {
        callback(*arguments);
    } catch (py::error_already_set &e) {
        m_failure = std::make_unique<py::error_already_set>(std::move(e));
    }
}

py::list EventSink::take() {
    py::list events = std::exchange(m_events, py::list());
    if (std::unique_ptr<py::error_already_set> failure = std::move(m_failure))
        throw std::move(*failure);
    return events;
}

} // namespace Kavvix::Python

using namespace Kavvix::Python;

PYBIND11_MODULE(_kavvix, m) {
    m.doc() = "Judging console text, the timing console's frames, and event uploads.";
    m.attr("__version__") = toPython(Kavvix::libraryVersion());

    // Created once and kept for the process, as the module is.
    static PyObject *const kavvixError =
        PyErr_NewException("kavvix.KavvixError", PyExc_Exception, nullptr);
    static PyObject *const parseError =
        PyErr_NewException("kavvix.ParseError", kavvixError, nullptr);
    static PyObject *const closedError =
        PyErr_NewException("kavvix.ClosedError", kavvixError, nullptr);
    m.attr("KavvixError") = py::handle(kavvixError);
    m.attr("ParseError") = py::handle(parseError);
    m.attr("ClosedError") = py::handle(closedError);
    py::register_exception_translator([](std::exception_ptr failure) {
        using Kind = Kavvix::Bindings::BindingError::Kind;
        try {
            std::rethrow_exception(failure);
        } catch (const ParseFailure &e) {
            PyErr_SetString(parseError, e.what());
        } catch (const Kavvix::Bindings::BindingError &e) {
            PyErr_SetString(e.kind() == Kind::InvalidArgument ? PyExc_ValueError
                            : e.kind() == Kind::ClosedHandle  ? closedError
                                                              : kavvixError,
                            e.what());
        } catch (const Kavvix::Error &e) {
            PyErr_SetString(kavvixError, e.description().toUtf8().constData());
        }
    });

    bindValues(m);
    bindColoradoData(m);
    bindDaktronicsData(m);
    bindDakProcessor(m);
    bindDakResponse(m);
    bindJob(m);
}
