#include <kavvix/Error.h>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <typeinfo>

namespace Kavvix {

Error::Error(qint32 code, const QString &description, const QString &source)
    : std::runtime_error(description.toStdString()), m_code(code), m_description(description),
      m_source(source.isEmpty() ? QStringLiteral("Kavvix") : source) {}

Error::~Error() = default;

Error Error::invalidArgument(const QString &detail) {
    return Error(InvalidArgument, detail.isEmpty() ? QStringLiteral("Invalid argument")
                                                   : QStringLiteral("Invalid argument: ") + detail);
}

Error Error::numericOverflow(const QString &detail) {
    return Error(NumericOverflow, detail.isEmpty() ? QStringLiteral("Numeric overflow")
                                                   : QStringLiteral("Numeric overflow: ") + detail);
}

qint32 Error::codeOf(const std::exception &failure) noexcept {
    if (const auto *error = dynamic_cast<const Error *>(&failure))
        return error->code();
    if (dynamic_cast<const std::bad_alloc *>(&failure))
        return OutOfMemory;
    if (dynamic_cast<const std::out_of_range *>(&failure))
        return OutOfRange;
    if (dynamic_cast<const std::invalid_argument *>(&failure) ||
        dynamic_cast<const std::domain_error *>(&failure))
        return InvalidArgument;
    if (dynamic_cast<const std::overflow_error *>(&failure) ||
        dynamic_cast<const std::range_error *>(&failure))
        return NumericOverflow;
    return InternalError;
}

QString Error::sourceOf(const std::exception &failure) {
    if (const auto *error = dynamic_cast<const Error *>(&failure))
        return error->source();
    const char *mangled = typeid(failure).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : mangled);
}

QString Error::describe(const std::exception &failure) {
    if (const auto *error = dynamic_cast<const Error *>(&failure))
        return error->description();
    return QString::fromLocal8Bit(failure.what());
}

} // namespace Kavvix
