#pragma once

#include <QString>

namespace KavvixCli {

// Reads a whole file, or standard input for "-" or no name, as console text: one byte is one
// character (Latin-1). Throws UserError with the file name when it cannot be read.
QString readConsoleText(const QString &fileOrDash);

// The text with control characters shown as <STX>, <x1B>, ... for one-line messages.
QString visibleText(const QString &text);

} // namespace KavvixCli
