#include "upload/dialog/TextUploadView.h"

#include <QTextStream>

namespace Kavvix {

void TextUploadView::appendMessage(const QString &line) {
    m_messages << line;
    if (m_lines)
        *m_lines << line << Qt::endl;
}

void TextUploadView::showMessageBox(const QString &title, const QString &text) {
    m_messageBoxes << title + QStringLiteral(": ") + text;
    if (m_boxes)
        *m_boxes << title << ": " << text << Qt::endl;
}

} // namespace Kavvix
