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

    Error(qint32 code, const QString &description);
    // Out of line, so the type's identity lives in the library alone.
    ~Error() override;

    static Error invalidArgument(const QString &detail = {});
    static Error numericOverflow(const QString &detail = {});

    // The code and description of any failure: a Kavvix::Error's own, else 0 and what().
    static qint32 codeOf(const std::exception &failure) noexcept;
    static QString describe(const std::exception &failure);

    qint32 code() const noexcept { return m_code; }
    QString description() const { return m_description; }

private:
    qint32 m_code;
    QString m_description;
};

} // namespace Kavvix
