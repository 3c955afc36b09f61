#include <kavvix/Error.h>

namespace Kavvix {

Error::Error(qint32 code, const QString &description)
    : std::runtime_error(description.toStdString()), m_code(code), m_description(description) {}

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
    const auto *error = dynamic_cast<const Error *>(&failure);
    return error ? error->code() : 0;
}

QString Error::describe(const std::exception &failure) {
    if (const auto *error = dynamic_cast<const Error *>(&failure))
        return error->description();
    return QString::fromLocal8Bit(failure.what());
}

} // namespace Kavvix
