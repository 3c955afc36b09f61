// Any bytes, read as Latin-1 packets: the input is fed whole and then cut at every ETB, to
// let fields accumulate across packets as they do on the line. Nothing may throw.
#include <kavvix/clsDaktronicsData.h>
#include <kavvix/modKavvix.h>

#include <QString>
#include <QStringTokenizer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Kavvix::clsDaktronicsData parser;
    parser.setNumberOfJudgesRequired(3);
    const auto feed = [&parser](const QString &packet) {
        const bool validBefore = parser.DataIsValid();
        const QString result = parser.ParseData(packet);
        if (!result.isEmpty() && (parser.DataIsValid() || !result.contains(packet)))
            std::abort();
        if (result.isEmpty() && !packet.contains(QChar(Kavvix::modKavvix::EOT)) &&
            parser.DataIsValid() != validBefore)
            std::abort(); // a text that is no packet changes nothing
        (void)parser.ContainsValidCommand(packet);
        (void)parser.DataIsComplete();
        (void)parser.DiveNumber();
    };
    feed(text);
    for (QStringView packet : QStringView(text).tokenize(QChar(Kavvix::modKavvix::ETB)))
        feed(packet.toString());
    return 0;
}
