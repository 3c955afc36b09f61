#pragma once

#include <QString>
#include <QtGlobal>
#include <stdexcept>

namespace Kavvix {

// The one exception type that crosses the library's public surface.
class Error : public std::runtime_error {
public:
    enum Code : qint32 {
        InvalidArgument = 5,
        NumericOverflow = 6,
    };

    Error(qint32 code, const QString &description);

    static Error invalidArgument(const QString &detail = {});
    static Error numericOverflow(const QString &detail = {});

    qint32 code() const noexcept { return m_code; }
    QString description() const { return m_description; }

private:
    qint32 m_code;
    QString m_description;
};

} // namespace Kavvix
