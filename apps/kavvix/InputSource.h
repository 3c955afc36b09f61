#pragma once

#include <QFile>
#include <QString>

namespace KavvixCli {

// Console text from a file, or from standard input for "-" or no name, read a chunk at a time
// so that input of any size takes little memory: one byte is one character (Latin-1).
class InputSource {
public:
    // Throws UserError with the file name when it cannot be opened.
    explicit InputSource(const QString &fileOrDash);

    // The next chunk; empty at the end. Throws UserError when reading fails.
    QString read();

private:
    [[noreturn]] void fail();

    QString m_name;
    QFile m_file;
};

} // namespace KavvixCli
