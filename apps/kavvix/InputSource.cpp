#include "InputSource.h"

#include "Command.h"

namespace KavvixCli {

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;

bool isStandardInput(const QString &fileOrDash) {
    return fileOrDash.isEmpty() || fileOrDash == QLatin1String("-");
}

} // namespace

InputSource::InputSource(const QString &fileOrDash)
    : m_name(isStandardInput(fileOrDash) ? QStringLiteral("standard input") : fileOrDash) {
    bool opened = false;
    if (isStandardInput(fileOrDash)) {
        opened = m_file.open(stdin, QIODevice::ReadOnly);
    } else {
        m_file.setFileName(fileOrDash);
        opened = m_file.open(QIODevice::ReadOnly);
    }
    if (!opened)
        fail();
}

QString InputSource::read() {
    const QByteArray bytes = m_file.read(ChunkBytes);
    if (bytes.isEmpty() && m_file.error() != QFileDevice::NoError)
        fail();
    return QString::fromLatin1(bytes);
}

void InputSource::fail() {
    throw UserError(QStringLiteral("cannot read %1: %2").arg(m_name, m_file.errorString()));
}

} // namespace KavvixCli
