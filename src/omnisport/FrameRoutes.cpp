#include "FrameRoutes.h"

#include "FrameLayout.h"

namespace Kavvix {

void FrameRoutes::route(const QString &frame) const {
    const FrameVerification checks = FrameVerification::of(frame);
    if (!checks.valid()) {
        failedChecks(frame, checks);
        return;
    }
    const QStringView command = FrameLayout::commandOf(frame);
    for (const Route &r : commands) {
        if (command == r.command) {
            r.handle(frame);
            return;
        }
    }
    if (unknownCommand)
        unknownCommand(frame);
}

} // namespace Kavvix
