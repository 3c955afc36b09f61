#include "InputSource.h"

#include "Command.h"

#include <kavvix/cUtility.h>

#include <QFile>

namespace KavvixCli {

QString readConsoleText(const QString &fileOrDash) {
    QFile file;
    bool opened = false;
    if (fileOrDash.isEmpty() || fileOrDash == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(fileOrDash);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened)
        throw UserError(
            QStringLiteral("cannot read %1: %2")
                .arg(fileOrDash.isEmpty() ? QStringLiteral("standard input") : fileOrDash,
                     file.errorString()));
    return QString::fromLatin1(file.readAll());
}

QString visibleText(const QString &text) {
    return Kavvix::visibleText(text);
}

} // namespace KavvixCli
