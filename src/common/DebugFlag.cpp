#include <kavvix/modKavvix.h>

namespace Kavvix::modKavvix {

namespace {
// Each thread (apartment) has its own switch, as the host's objects are bound to one thread.
thread_local bool t_debugEnabled = false;
} // namespace

bool DebugEnabled() {
    return t_debugEnabled;
}

void setDebugEnabled(bool enabled) {
    t_debugEnabled = enabled;
}

} // namespace Kavvix::modKavvix
