#include "ServiceLog.h"

namespace KavvixCli {

bool ServiceLog::open(const QString &path) {
    m_stream.setDevice(nullptr);
    m_file.close();
    m_path = path;
    if (path.isEmpty())
        return true;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        m_errorText = QStringLiteral("log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_stream.setDevice(&m_file);
    return true;
}

void ServiceLog::write(const QString &line) {
    QTextStream &out = m_file.isOpen() ? m_stream : m_err;
    out << line << '\n';
    out.flush();
}

} // namespace KavvixCli
