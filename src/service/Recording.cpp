#include <kavvix/service/Recording.h>

#include <QDateTime>
#include <QtEndian>

namespace Kavvix::Recording {

bool Writer::open(const QString &path) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite)) {
        m_errorText = QStringLiteral("recording %1: %2").arg(path, m_file.errorString());
        return false;
    }
    if (m_file.size() == 0) {
        m_file.write(Header, HeaderSize);
    } else if (m_file.read(HeaderSize) != QByteArray(Header, HeaderSize)) {
        m_errorText = QStringLiteral("recording %1: not a version 1 recording").arg(path);
        return false;
    }
    // Whole records only: a record cut short by a crash is overwritten.
    if (!m_file.isSequential()) {
        const qint64 records = (m_file.size() - HeaderSize) / RecordSize;
        m_file.resize(HeaderSize + records * RecordSize);
        m_file.seek(m_file.size());
    }
    m_startUs = QDateTime::currentMSecsSinceEpoch() * 1000;
    m_clock.start();
    if (!m_file.flush()) {
        m_errorText = QStringLiteral("recording %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void Writer::append(char byte, qint64 atUs) {
    char record[RecordSize];
    qToLittleEndian<qint64>(atUs, record);
    record[8] = byte;
    m_file.write(record, RecordSize);
    // Unbuffered enough that a killed process leaves what it received on disk.
    m_file.flush();
}

void Writer::append(char byte) {
    append(byte, m_startUs + m_clock.nsecsElapsed() / 1000);
}

bool read(const QString &path, QList<Byte> &bytes, QString &errorText) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText = QStringLiteral("recording %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray content = file.readAll();
    if (!content.startsWith(QByteArray(Header, HeaderSize))) {
        errorText = QStringLiteral("recording %1: not a version 1 recording").arg(path);
        return false;
    }
    bytes.clear();
    for (qsizetype at = HeaderSize; at + RecordSize <= content.size(); at += RecordSize)
        bytes.append({qFromLittleEndian<qint64>(content.constData() + at), content.at(at + 8)});
    return true;
}

} // namespace Kavvix::Recording
