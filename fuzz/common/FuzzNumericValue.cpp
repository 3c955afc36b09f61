// Any bytes, read as Latin-1 text: valueOf either gives a finite number or throws the numeric
// overflow error; a number written in plain decimal reads back as the same number.
#include "common/NumericText.h"

#include <kavvix/Error.h>

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace Kavvix;
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    double value = 0;
    try {
        value = NumericText::valueOf(text);
    } catch (const Error &error) {
        if (error.code() != Error::NumericOverflow)
            std::abort();
        return 0;
    }
    if (!std::isfinite(value))
        std::abort();
    if (NumericText::valueOf(NumericText::plainDecimal(value)) != value)
        std::abort();
    return 0;
}
