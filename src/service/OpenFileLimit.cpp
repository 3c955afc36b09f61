#include "OpenFileLimit.h"

#include <sys/resource.h>

namespace Kavvix {

namespace {

long long shown(rlim_t value) {
    return value == RLIM_INFINITY ? -1 : static_cast<long long>(value);
}

} // namespace

OpenFileLimit OpenFileLimit::raise() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    OpenFileLimit result{shown(limit.rlim_cur), shown(limit.rlim_cur), shown(limit.rlim_max)};
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    // Some systems cap the soft limit below an unlimited hard one.
    for (rlim_t cap : {limit.rlim_max, rlim_t(1) << 20, rlim_t(65536)}) {
        raised.rlim_cur = std::min(cap, limit.rlim_max);
        if (raised.rlim_cur > limit.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            result.soft = shown(raised.rlim_cur);
            break;
        }
    }
    return result;
}

QString OpenFileLimit::describe() const {
    const auto text = [](long long value) {
        return value < 0 ? QStringLiteral("unlimited") : QString::number(value);
    };
    if (soft == before)
        return QStringLiteral("open files: soft limit %1, hard limit %2")
            .arg(text(soft), text(hard));
    return QStringLiteral("open files: soft limit raised from %1 to %2, hard limit %3")
        .arg(text(before), text(soft), text(hard));
}

} // namespace Kavvix
