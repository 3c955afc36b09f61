#include <kavvix/JobResult.h>

namespace Kavvix {

QString JobResult::name(Kind kind) {
    switch (kind) {
    case Kind::Sent:
        return QStringLiteral("sent");
    case Kind::Connected:
        return QStringLiteral("connected");
    case Kind::Rejected:
        return QStringLiteral("rejected");
    case Kind::NoAnswer:
        return QStringLiteral("no-answer");
    case Kind::PortUnavailable:
        return QStringLiteral("port-unavailable");
    case Kind::LineLost:
        return QStringLiteral("line-lost");
    case Kind::ValidationFailed:
        return QStringLiteral("validation-failed");
    case Kind::Aborted:
        return QStringLiteral("aborted");
    case Kind::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

} // namespace Kavvix
