#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

namespace KavvixCli {

// Where `kavvix serve` writes its lines: standard error (systemd's journal under the unit), or
// a file appended to. reopen() lets a log rotator move the file away and have a new one begun.
class ServiceLog {
public:
    explicit ServiceLog(QTextStream &err) : m_err(err) {}

    // An empty path writes to standard error; false (and still standard error) when the file
    // cannot be opened, with the reason in errorText().
    bool open(const QString &path);
    bool reopen() { return open(m_path); }
    QString path() const { return m_path; }
    QString errorText() const { return m_errorText; }

    void write(const QString &line);

private:
    QTextStream &m_err;
    QString m_path;
    QFile m_file;
    QTextStream m_stream;
    QString m_errorText;
};

} // namespace KavvixCli
