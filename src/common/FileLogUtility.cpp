#include "FileLogUtility.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

namespace Kavvix {

QString FileLogUtility::logFilePath() {
    const QString configured = qEnvironmentVariable("KAVVIX_LOG_FILE");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kavvix/kavvix.log");
}

QString FileLogUtility::visible(const QString &message) {
    QString out;
    out.reserve(message.size());
    for (QChar c : message) {
        const char16_t code = c.unicode();
        switch (code) {
        case 1:
            out += QStringLiteral("<SOH>");
            break;
        case 2:
            out += QStringLiteral("<STX>");
            break;
        case 4:
            out += QStringLiteral("<EOT>");
            break;
        case 22:
            out += QStringLiteral("<SYN>");
            break;
        case 23:
            out += QStringLiteral("<ETB>");
            break;
        default:
            if (code < 0x20 || (code >= 0x7F && code < 0xA0)) // C0, DEL and C1
                out += QStringLiteral("<x%1>").arg(
                    QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            else
                out += c;
        }
    }
    return out;
}

namespace {

// Entries may come from several threads; rotation and the warning are decided under one lock.
QMutex &logMutex() {
    static QMutex mutex;
    return mutex;
}

QString numbered(const QString &path, int generation) {
    return path + QLatin1Char('.') + QString::number(generation);
}

// <log> becomes <log>.1, <log>.1 becomes <log>.2, ..., and the oldest is dropped.
void rotate(const QString &path) {
    QFile::remove(numbered(path, FileLogUtility::KeptOldFiles));
    for (int generation = FileLogUtility::KeptOldFiles - 1; generation >= 1; --generation)
        QFile::rename(numbered(path, generation), numbered(path, generation + 1));
    QFile::rename(path, numbered(path, 1));
}

// Warns once for each path that cannot be written; a path that works again may warn again.
void warnUnwritable(const QString &path, const QString &reason, bool failed) {
    static QSet<QString> warned;
    if (!failed) {
        warned.remove(path);
        return;
    }
    if (warned.contains(path))
        return;
    warned.insert(path);
    qWarning("kavvix: cannot write log file %s: %s (further entries are dropped)", qPrintable(path),
             qPrintable(reason));
}

} // namespace

void FileLogUtility::WriteLog(qint32 number, const QString &procedure, const QString &message,
                              qint32 level) {
    const QString path = logFilePath();
    const QByteArray line =
        QStringLiteral("%1 [%2] %3%4: %5\n")
            .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
            .arg(number)
            .arg(level != 0 ? QStringLiteral("(level %1) ").arg(level) : QString())
            .arg(procedure, visible(message))
            .toUtf8();
    const QMutexLocker lock(&logMutex());
    const QFileInfo existing(path);
    if (existing.exists() && existing.size() > 0 && existing.size() + line.size() > MaxFileBytes)
        rotate(path);
    QDir().mkpath(existing.absolutePath());
    QFile file(path);
    // A diagnostic log that cannot be written must not stop the console link.
    const bool written = file.open(QIODevice::Append) && file.write(line) == line.size();
    warnUnwritable(path, file.errorString(), !written);
}

} // namespace Kavvix
