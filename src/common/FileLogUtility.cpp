#include "FileLogUtility.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

void FileLogUtility::WriteLog(qint32 number, const QString &procedure, const QString &message,
                              qint32 level) {
    const QString path = logFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text)) {
        // A diagnostic log that cannot be written must not stop the console link.
        qWarning("kavvix: cannot write log file %s: %s", qPrintable(path),
                 qPrintable(file.errorString()));
        return;
    }
    const QString line = QStringLiteral("%1 [%2] %3%4: %5\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                             .arg(number)
                             .arg(level != 0 ? QStringLiteral("(level %1) ").arg(level) : QString())
                             .arg(procedure, visible(message));
    file.write(line.toUtf8());
}

} // namespace Kavvix
