#include "DiveJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <unistd.h>

namespace Kavvix {

bool DiveJournal::fail(const QString &text) {
    m_errorText = QStringLiteral("journal %1: %2").arg(m_file.fileName(), text);
    return false;
}

bool DiveJournal::sync() {
    if (!m_file.flush() || ::fsync(m_file.handle()) != 0)
        return fail(m_file.errorString());
    return true;
}

bool DiveJournal::open(const QString &path) {
    m_pending.clear();
    m_droppedBytes = 0;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite))
        return fail(m_file.errorString());
    const QByteArray content = m_file.readAll();
    qint64 goodEnd = 0;
    while (goodEnd < content.size()) {
        const qsizetype newline = content.indexOf('\n', goodEnd);
        if (newline < 0)
            break;
        DiveRecord record;
        const QJsonDocument line = QJsonDocument::fromJson(content.mid(goodEnd, newline - goodEnd));
        if (!DiveRecord::fromJournal(line.object(), record))
            break;
        m_pending.append(record);
        goodEnd = newline + 1;
    }
    m_droppedBytes = content.size() - goodEnd;
    if (m_droppedBytes > 0 && (!m_file.resize(goodEnd) || !sync()))
        return fail(m_file.errorString());
    m_file.seek(goodEnd);
    return true;
}

bool DiveJournal::append(const DiveRecord &record) {
    const QByteArray line = QJsonDocument(record.toJournal()).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size())
        return fail(m_file.errorString());
    if (!sync())
        return false;
    m_pending.append(record);
    return true;
}

bool DiveJournal::clear() {
    if (!m_file.resize(0) || !m_file.seek(0) || !sync())
        return fail(m_file.errorString());
    m_pending.clear();
    return true;
}

} // namespace Kavvix
