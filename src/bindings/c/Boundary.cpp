#include "Boundary.h"

#include <kavvix/Error.h>
#include <kavvix/core.h>

#include <QStringDecoder>

#include <atomic>
#include <string>

namespace Kavvix::CInterface {

namespace {

thread_local std::string lastError;

int statusOf(Bindings::BindingError::Kind kind) {
    switch (kind) {
    case Bindings::BindingError::Kind::InvalidArgument:
        return KAVVIX_ERROR_INVALID_ARGUMENT;
    case Bindings::BindingError::Kind::ClosedHandle:
        return KAVVIX_ERROR_CLOSED_HANDLE;
    case Bindings::BindingError::Kind::Unavailable:
        return KAVVIX_ERROR_UNAVAILABLE;
    }
    return KAVVIX_ERROR_INTERNAL;
}

} // namespace

void clearLastError() {
    lastError.clear();
}

void setLastError(const QString &text) {
    lastError = text.toStdString();
}

int statusOf(std::exception_ptr failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const Failure &f) {
            setLastError(f.text);
            return f.status;
        } catch (const Bindings::BindingError &e) {
            lastError = e.what();
            return statusOf(e.kind());
        } catch (const std::exception &e) {
            setLastError(Error::describe(e));
        } catch (...) {
            lastError = "unknown failure";
        }
    } catch (...) {
        lastError.clear(); // out of memory while describing the failure
    }
    return KAVVIX_ERROR_INTERNAL;
}

QString textArgument(const char *text, const char *name) {
    if (text == nullptr)
        throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT,
                      QStringLiteral("%1 is NULL").arg(QLatin1String(name))};
    QStringDecoder decoder(QStringConverter::Utf8);
    QString decoded = decoder(QByteArrayView(text));
    if (decoder.hasError())
        throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT,
                      QStringLiteral("%1 is not valid UTF-8").arg(QLatin1String(name))};
    return decoded;
}

QString textArgument(const char *text, const char *name, const QString &ifNull) {
    return text == nullptr ? ifNull : textArgument(text, name);
}

void requireBytes(const void *bytes, size_t length) {
    if (bytes == nullptr && length > 0)
        throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT, QStringLiteral("bytes is NULL")};
}

std::uintptr_t newToken() {
    static std::atomic<std::uintptr_t> last{0};
    return ++last;
}

} // namespace Kavvix::CInterface

extern "C" {

const char *kavvix_last_error(void) {
    return Kavvix::CInterface::lastError.c_str();
}

const char *kavvix_version(void) {
    static const std::string version = Kavvix::libraryVersion().toStdString();
    return version.c_str();
}

} // extern "C"
