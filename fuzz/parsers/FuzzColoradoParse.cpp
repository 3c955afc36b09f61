// Any bytes, read as Latin-1 console text: ParseData must return, never throw, and leave a
// score set that agrees with its result.
#include <kavvix/clsColoradoData.h>

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Kavvix::clsColoradoData parser;
    const QString result = parser.ParseData(text);
    if (parser.DataIsValid() && !result.isEmpty())
        std::abort(); // a stored record always comes with an empty result
    if (!result.isEmpty() && !result.contains(text))
        std::abort(); // every message quotes the whole input
    return 0;
}
