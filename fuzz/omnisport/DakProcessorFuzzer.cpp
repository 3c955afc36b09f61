#include "FuzzStream.h"

#include <kavvix/cDakProcessor.h>

using namespace Kavvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    KavvixFuzz::installUtility();
    const KavvixFuzz::Control control = KavvixFuzz::control(data, size);
    QObject keeper;
    cDakProcessor processor;
    bool keep = false;
    // Every other record is kept by the handler, the rest left to the processor.
    QObject::connect(&processor, &cDakProcessor::DiveResult, [&](cDiveResult *r) {
        if ((keep = !keep))
            r->setParent(&keeper);
        if (control.reenter)
            processor.AddChar(r->Stage());
    });
    QObject::connect(&processor, &cDakProcessor::COMMError, [&](const QString &s) {
        if (control.reenter)
            processor.AddChar(s.left(1));
    });
    for (int round = 0; round < control.repeats; ++round)
        for (std::size_t i = 1; i < size; ++i)
            processor.AddChar(KavvixFuzz::charText(data[i]));
    return 0;
}
