#pragma once

#include <kavvix/cUtility.h>
#include <kavvix/modKavvix.h>

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// The first input byte is the control byte: bit 0 switches the diagnostic log on, bit 1 lets
// event handlers feed characters back in, bit 2 feeds the rest 16 times over (streams longer
// than the receive buffer's 32767 positions). The rest is the byte stream, one character each.
namespace KavvixFuzz {

struct Control {
    bool log = false;
    bool reenter = false;
    int repeats = 1;
};

inline Control control(const uint8_t *data, std::size_t size) {
    Control c;
    if (size > 0) {
        c.log = data[0] & 1;
        c.reenter = data[0] & 2;
        c.repeats = (data[0] & 4) ? 16 : 1;
    }
    Kavvix::modKavvix::setDebugEnabled(c.log);
    return c;
}

// Checks each entry's shape and keeps nothing.
class CheckingUtility : public Kavvix::cUtility {
public:
    void WriteLog(qint32 number, const QString &procedure, const QString &message,
                  qint32 level) override {
        if (number < 2 || number > 13 || procedure.isEmpty() || message.isEmpty() || level != 0)
            __builtin_trap();
    }
};

inline void installUtility() {
    static const bool installed = [] {
        Kavvix::setUtilityFactory([] { return std::make_unique<CheckingUtility>(); });
        return true;
    }();
    (void)installed;
}

inline const QString &charText(uint8_t byte) {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int c = 0; c < 256; ++c)
            t[c] = QString(QChar(c));
        return t;
    }();
    return texts[byte];
}

} // namespace KavvixFuzz
