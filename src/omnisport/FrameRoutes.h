#pragma once

#include "FrameVerification.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace Kavvix {

// The step both receivers take with each frame they cut: the frame checks first, then the
// handler of the frame's command code. They differ only in their handlers.
struct FrameRoutes {
    using Handler = std::function<void(const QString &frame)>;
    struct Route {
        QStringView command;
        Handler handle;
    };

    // A frame that fails the checks; it goes nowhere else.
    std::function<void(const QString &frame, const FrameVerification &checks)> failedChecks;
    std::vector<Route> commands;
    // A valid frame whose command no route takes; may be empty.
    Handler unknownCommand;

    // Calls exactly one handler (or none, for an unknown command without a handler) and
    // touches nothing of its own afterwards: a handler may delete the receiver.
    void route(const QString &frame) const;
};

} // namespace Kavvix
