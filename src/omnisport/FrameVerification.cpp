#include "FrameVerification.h"

#include "FrameLayout.h"

#include <kavvix/modKavvix.h>

namespace Kavvix {

namespace {

bool isDigit(QStringView field) {
    return field.size() == 1 && field.front() >= u'0' && field.front() <= u'9';
}

} // namespace

bool FrameVerification::framingValid() const {
    return !(synMissing || etbMissing || digitInvalid || zeroFieldInvalid || sohMissing ||
             eotMissing);
}

bool FrameVerification::valid() const {
    return framingValid() && !checksumMismatch;
}

FrameVerification FrameVerification::of(QStringView frame) {
    using namespace modKavvix;
    using namespace FrameLayout;
    const qsizetype length = frame.size();
    FrameVerification v;
    v.synMissing = !isOnly(textAt(frame, 1, 1), SYN);
    if (!v.synMissing)
        v.etbMissing = !isOnly(textAt(frame, length, 1), ETB);
    v.digitInvalid = !isDigit(textAt(frame, HeaderDigitPosition, 1));
    if (!v.framingValid())
        return v;
    v.zeroFieldInvalid = textAt(frame, ZeroFieldPosition, ZeroField.size()) != ZeroField;
    if (v.zeroFieldInvalid)
        return v;
    v.sohMissing = !isOnly(textAt(frame, SohPosition, 1), SOH);
    if (v.sohMissing)
        return v;
    // A frame that got this far holds SYN, digit, zero field and SOH, so L >= 11 and the
    // positions below lie inside it.
    v.eotMissing = !isOnly(textAt(frame, eotPosition(length), 1), EOT);
    if (v.eotMissing)
        return v;
    // The checksum covers everything from the header digit through the EOT. Compared without
    // making texts: they are only wanted to report a mismatch.
    const FrameLayout::ChecksumDigits computed = checksumDigits(
        textAt(frame, HeaderDigitPosition, eotPosition(length) - HeaderDigitPosition + 1));
    const QStringView received = textAt(frame, checksumPosition(length), ChecksumWidth);
    v.checksumMismatch = received.size() != ChecksumWidth || received[0] != computed.high ||
                         received[1] != computed.low;
    if (v.checksumMismatch) {
        const QChar digits[] = {computed.high, computed.low};
        v.computedChecksum = QString(digits, ChecksumWidth);
        v.receivedChecksum = received.toString();
    }
    return v;
}

} // namespace Kavvix
