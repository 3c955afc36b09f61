#pragma once

#include <kavvix/export.h>

#include <QString>
#include <QtGlobal>
#include <stdexcept>

namespace Kavvix {

// The one exception type that crosses the library's public surface.
class KAVVIX_EXPORT Error : public std::runtime_error {
public:
    enum Code : qint32 {
        InvalidArgument = 5,
        NumericOverflow = 6,
    };

    Error(qint32 code, const QString &description, const QString &source = {});
    // Out of line, so the type's identity lives in the library alone.
    ~Error() override;

    static Error invalidArgument(const QString &detail = {});
    static Error numericOverflow(const QString &detail = {});

    // The code and description of any failure: a Kavvix::Error's own; for the standard
    // library's failures the number of the same kind of failure (out of memory 7, out of range
    // 9, invalid argument 5, overflow 6, any other 51, an internal error) and what().
    static qint32 codeOf(const std::exception &failure) noexcept;
    static QString describe(const std::exception &failure);
    // The component that reported a failure: a Kavvix::Error's source (the library, "Kavvix",
    // unless it names a part of it), else the failure's type ("std::out_of_range").
    static QString sourceOf(const std::exception &failure);

    qint32 code() const noexcept { return m_code; }
    QString description() const { return m_description; }
    QString source() const { return m_source; }

    enum StandardCode : qint32 {
        OutOfMemory = 7,
        OutOfRange = 9,
        InternalError = 51,
    };

private:
    qint32 m_code;
    QString m_description;
    QString m_source;
};

} // namespace Kavvix
