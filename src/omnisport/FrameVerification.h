#pragma once

#include <QString>
#include <QStringView>

namespace Kavvix {

// The seven checks a received console frame must pass, in the order they are made. Each flag
// is set when its check was made and failed; a check that was skipped leaves its flag clear.
//   1 SYN at the start; 2 ETB at the end (only after 1 passed);
//   3 header digit "0".."9" (always made, even after 1 or 2 failed);
//   4 zero field, 5 SOH, 6 EOT before the checksum, 7 checksum: each only while nothing failed.
// The length is not checked: each command handler checks its own.
struct FrameVerification {
    bool synMissing = false;       // (1,1) is not SYN
    bool etbMissing = false;       // (L,1) is not ETB
    bool digitInvalid = false;     // (2,1) is not one character "0" to "9"
    bool zeroFieldInvalid = false; // (3,7) is not "0000000"
    bool sohMissing = false;       // (10,1) is not SOH
    bool eotMissing = false;       // (L-3,1) is not EOT
    bool checksumMismatch = false; // (L-2,2) differs from the checksum over (2,L-4)

    // Both are set when the checksum check failed, empty otherwise.
    QString computedChecksum;
    QString receivedChecksum;

    // Checks 1 to 6 passed (the frame is well formed, whatever its checksum).
    bool framingValid() const;
    // No check failed.
    bool valid() const;

    static FrameVerification of(QStringView frame);
};

} // namespace Kavvix
