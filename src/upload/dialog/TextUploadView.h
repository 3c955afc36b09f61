#pragma once

#include "upload/dialog/DakUploadView.h"

#include <QStringList>

class QTextStream;

namespace Kavvix {

// The upload view without widgets: keeps what is shown, optionally writes each message line
// and each message box ("title: text") to a stream as it comes, and answers the questions
// about the operator's choices from what the caller set.
class TextUploadView : public DakUploadView {
public:
    explicit TextUploadView(QTextStream *lines = nullptr, QTextStream *boxes = nullptr)
        : m_lines(lines), m_boxes(boxes) {}

    // The operator's choices.
    void setSelectedEvent(qint32 index) { m_selectedEvent = index; }
    void setDiveOrderCommand(const QString &command) { m_diveOrder = command; }
    void setPort(std::optional<qint16> port) { m_port = port; }

    // What was shown.
    const QStringList &messages() const { return m_messages; }
    const QStringList &captions() const { return m_captions; } // every caption, in order
    const QStringList &messageBoxes() const { return m_messageBoxes; }
    const QStringList &events() const { return m_events; }
    const QString &meetName() const { return m_meetName; }
    bool inputEnabled() const { return m_inputEnabled; }
    bool busyCursor() const { return m_busy; }

    void clearMessages() override { m_messages.clear(); }
    void appendMessage(const QString &line) override;
    void setMeetName(const QString &name) override { m_meetName = name; }
    void clearEvents() override { m_events.clear(); }
    void addEvent(const QString &name, qint32) override { m_events << name; }
    qint32 selectedEventIndex() const override { return m_selectedEvent; }
    void setTestCaption(const QString &caption) override { m_captions << caption; }
    void setInputEnabled(bool enabled) override { m_inputEnabled = enabled; }
    void setBusyCursor(bool busy) override { m_busy = busy; }
    void showMessageBox(const QString &title, const QString &text) override;
    QString selectedDiveOrderCommand() const override { return m_diveOrder; }
    std::optional<qint16> selectedPort() const override { return m_port; }

private:
    QTextStream *m_lines;
    QTextStream *m_boxes;
    qint32 m_selectedEvent = -1;
    QString m_diveOrder = QStringLiteral("301");
    std::optional<qint16> m_port;
    QStringList m_messages, m_captions, m_messageBoxes, m_events;
    QString m_meetName;
    bool m_inputEnabled = true;
    bool m_busy = false;
};

} // namespace Kavvix
