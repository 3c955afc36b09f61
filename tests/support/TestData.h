#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace KavvixTest {

// Path of a file under tests/data.
inline QString testDataPath(const QString &name) {
    return QStringLiteral(KAVVIX_TEST_DATA_DIR "/") + name;
}

// The bytes of a test data file, as Latin-1 text (one byte, one character).
inline QString testDataText(const QString &name) {
    QFile file(testDataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll());
}

} // namespace KavvixTest
