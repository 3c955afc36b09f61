#include "FuzzStream.h"

#include <kavvix/cDakResponse.h>

using namespace Kavvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    KavvixFuzz::installUtility();
    const KavvixFuzz::Control control = KavvixFuzz::control(data, size);
    cDakResponse response;
    std::size_t next = 1;
    // Re-entrant feeding: a handler passes on the next few input characters itself.
    auto feedFromHandler = [&] {
        for (int n = 0; control.reenter && n < 20 && next < size; ++n)
            response.AddChar(KavvixFuzz::charText(data[next++]));
    };
    QObject::connect(&response, &cDakResponse::ResponseOK, feedFromHandler);
    QObject::connect(&response, &cDakResponse::PacketError, feedFromHandler);
    for (int round = 0; round < control.repeats; ++round)
        for (next = 1; next < size;)
            response.AddChar(KavvixFuzz::charText(data[next++]));
    return 0;
}
