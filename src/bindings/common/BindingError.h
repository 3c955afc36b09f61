#pragma once

#include <QString>

#include <stdexcept>

namespace Kavvix::Bindings {

// A failure a binding reports to its host in the host's own terms (a status code, a Python
// exception). Anything else that escapes the library is reported as an internal failure.
class BindingError : public std::runtime_error {
public:
    enum class Kind {
        InvalidArgument, // a missing value, text that is not UTF-8, an unknown letter, ...
        ClosedHandle,    // used after close, or never opened
        Unavailable,     // the database, the meet or the device cannot be used
    };

    BindingError(Kind kind, const QString &text)
        : std::runtime_error(text.toStdString()), m_kind(kind) {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace Kavvix::Bindings
