#include "DiveJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

QString DiveJournal::path() const {
    const QMutexLocker locker(&m_mutex);
    return m_file.fileName();
}

bool DiveJournal::isOpen() const {
    const QMutexLocker locker(&m_mutex);
    return m_file.isOpen();
}

QList<DiveRecord> DiveJournal::pending() const {
    const QMutexLocker locker(&m_mutex);
    return m_pending;
}

qsizetype DiveJournal::size() const {
    const QMutexLocker locker(&m_mutex);
    return m_pending.size();
}

QString DiveJournal::errorText() const {
    const QMutexLocker locker(&m_mutex);
    return m_errorText;
}

bool DiveJournal::open(const QString &path) {
    const QMutexLocker locker(&m_mutex);
    m_pending.clear();
    m_skipped.clear();
    m_droppedBytes = 0;
    m_file.close();
    m_lock.reset();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    m_file.setFileName(path);
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // held as long as its owner lives, however long that is
    if (!lock->tryLock(0)) {
        qint64 pid = 0;
        QString host, application;
        lock->getLockInfo(&pid, &host, &application);
        return fail(lock->error() == QLockFile::LockFailedError
                        ? QStringLiteral("in use by another service (process %1); give each "
                                         "service a journal of its own with --journal")
                              .arg(pid)
                        : QStringLiteral("cannot create its lock file %1.lock").arg(path));
    }
    m_lock = std::move(lock);
    if (!m_file.open(QIODevice::ReadWrite))
        return fail(m_file.errorString());
    const QByteArray content = m_file.readAll();
    qint64 goodEnd = 0;
    for (int lineNumber = 1; goodEnd < content.size(); ++lineNumber) {
        const qsizetype newline = content.indexOf('\n', goodEnd);
        if (newline < 0)
            break;
        // Blocks of NUL bytes are what a crash can leave where a write had not reached the disk.
        const QByteArray text =
            content.mid(goodEnd, newline - goodEnd).replace('\0', QByteArray()).trimmed();
        goodEnd = newline + 1;
        if (text.isEmpty())
            continue;
        DiveRecord record;
        if (DiveRecord::fromJournal(QJsonDocument::fromJson(text).object(), record))
            m_pending.append(record);
        else
            m_skipped.append(QStringLiteral("journal %1: line %2 is not a dive record, skipped: %3")
                                 .arg(path)
                                 .arg(lineNumber)
                                 .arg(QString::fromUtf8(text.left(80))));
    }
    m_droppedBytes = content.size() - goodEnd;
    if (m_droppedBytes > 0 && (!m_file.resize(goodEnd) || !sync()))
        return fail(m_file.errorString());
    m_file.seek(goodEnd);
    return true;
}

bool DiveJournal::append(const DiveRecord &record) {
    const QMutexLocker locker(&m_mutex);
    const QByteArray line = QJsonDocument(record.toJournal()).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size())
        return fail(m_file.errorString());
    if (!sync())
        return false;
    m_pending.append(record);
    return true;
}

bool DiveJournal::forget(qsizetype count) {
    const QMutexLocker locker(&m_mutex);
    if (count >= m_pending.size()) {
        if (!m_file.resize(0) || !m_file.seek(0) || !sync())
            return fail(m_file.errorString());
        m_pending.clear();
        return true;
    }
    const QList<DiveRecord> rest = m_pending.mid(count);
    if (!rewrite(rest))
        return false;
    m_pending = rest;
    return true;
}

// Replaces the file by one holding only records, so that a crash midway leaves either the old
// file or the new one whole.
bool DiveJournal::rewrite(const QList<DiveRecord> &records) {
    const QString path = m_file.fileName();
    QFile next(path + QStringLiteral(".new"));
    if (!next.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(next.errorString());
    for (const DiveRecord &record : records)
        next.write(QJsonDocument(record.toJournal()).toJson(QJsonDocument::Compact) + '\n');
    if (!next.flush() || ::fsync(next.handle()) != 0)
        return fail(next.errorString());
    next.close();
    if (::rename(QFile::encodeName(next.fileName()).constData(),
                 QFile::encodeName(path).constData()) != 0)
        return fail(
            QStringLiteral("cannot replace it: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    m_file.close();
    if (!m_file.open(QIODevice::ReadWrite) || !m_file.seek(m_file.size()))
        return fail(m_file.errorString());
    return true;
}

} // namespace Kavvix
