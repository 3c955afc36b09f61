#pragma once

#include <QString>

// How the tool writes values for people and programs: text that cannot disturb a terminal,
// and numbers that read back as the value they came from.
namespace KavvixCli::TextForms {

// The text with control characters shown as <STX>, <x1B>, ..., so that a line stays a line
// and a console's escape sequences reach no terminal.
QString visible(const QString &text);

// The shortest decimal text that reads back as the same 32-bit float (2.4, not
// 2.4000000953674316).
QString shortest(float value);

// The double whose shortest text is shortest(value), for JSON, which holds doubles.
double asJsonNumber(float value);

} // namespace KavvixCli::TextForms
