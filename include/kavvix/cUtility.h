#pragma once

#include <kavvix/export.h>

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace Kavvix {

// The outside log and conversion component. The library obtains instances through the
// factory below, so a host can plug in its own and tests can record every log entry.
// WriteLog is the one operation a replacement must provide; the conversions have the
// library's standard meaning unless overridden.
class KAVVIX_EXPORT cUtility {
public:
    virtual ~cUtility();

    // Records one diagnostic entry (log point number, procedure, message; level is 0).
    virtual void WriteLog(qint32 number, const QString &procedure, const QString &message,
                          qint32 level) = 0;

    // A database field value: null gives 0; numbers keep their value; anything else is read
    // as the leading number of its text.
    virtual float ToSingle(const QVariant &value);
    // As ToSingle, rounded half to even into 16 bits; out of range throws Error (overflow).
    virtual qint16 ToInteger(const QVariant &value);
    // A null gives the empty text; a text comes back unchanged.
    virtual QString ToText(const QVariant &value);
};

using UtilityFactory = std::function<std::unique_ptr<cUtility>()>;

// Replaces the factory the library creates its cUtility instances with; an empty function
// restores the default, which writes each entry as one line to the log file. A factory that
// returns nullptr gets the default writer too. Objects keep the instance they were created with.
KAVVIX_EXPORT void setUtilityFactory(UtilityFactory factory);

// A new instance from the current factory.
KAVVIX_EXPORT std::unique_ptr<cUtility> createUtility();

// The text with control characters written as <SYN>, <x1B>, ..., as the default writer logs
// them, so that a text with line breaks or escape sequences shows as one plain line.
KAVVIX_EXPORT QString visibleText(const QString &text);

} // namespace Kavvix
