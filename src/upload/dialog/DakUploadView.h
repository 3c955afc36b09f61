#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace Kavvix {

// What the upload dialog's logic needs from the window it runs in; the dialog implements it
// with its controls.
class DakUploadView {
public:
    virtual ~DakUploadView() = default;

    // The message list: remove every line; append one line (time of day included).
    virtual void clearMessages() = 0;
    virtual void appendMessage(const QString &line) = 0;

    virtual void setMeetName(const QString &name) = 0;

    // The event list: entries in order, each with its item data (-1 marks the placeholder).
    virtual void clearEvents() = 0;
    virtual void addEvent(const QString &name, qint32 itemData) = 0;
    // Index of the selected entry, -1 when none is selected.
    virtual qint32 selectedEventIndex() const = 0;

    // The connection test button's caption.
    virtual void setTestCaption(const QString &caption) = 0;
    // Input to the whole window.
    virtual void setInputEnabled(bool enabled) = 0;
    // The application's busy pointer: a state, not a count.
    virtual void setBusyCursor(bool busy) = 0;
    // An information box; returns when the user has dismissed it.
    virtual void showMessageBox(const QString &title, const QString &text) = 0;

    // Command code of the chosen dive order, "301" to "304"; "301" when none is chosen.
    virtual QString selectedDiveOrderCommand() const = 0;
    // Port number of the chosen port entry; none when no entry is chosen.
    virtual std::optional<qint16> selectedPort() const = 0;
};

} // namespace Kavvix
