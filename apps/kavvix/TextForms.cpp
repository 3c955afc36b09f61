#include "TextForms.h"

#include <kavvix/cUtility.h>

#include <charconv>
#include <cstdlib>

namespace KavvixCli::TextForms {

QString visible(const QString &text) {
    return Kavvix::visibleText(text);
}

QString shortest(float value) {
    char digits[32];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    return QString::fromLatin1(digits, result.ptr - digits);
}

double asJsonNumber(float value) {
    return std::strtod(shortest(value).toLatin1().constData(), nullptr);
}

} // namespace KavvixCli::TextForms
