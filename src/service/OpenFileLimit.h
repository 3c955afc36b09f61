#pragma once

#include <QString>

namespace Kavvix {

// The process's limit of open files. A service with many clients needs more than the common
// soft limit of 1,024, and may raise it up to the hard limit without any privilege.
struct OpenFileLimit {
    long long before = 0; // the soft limit found at start
    long long soft = 0;   // the soft limit now
    long long hard = 0;

    // Raises the soft limit to the hard limit (or as far as the system lets it).
    static OpenFileLimit raise();
    // The log line that gives both limits.
    QString describe() const;
};

} // namespace Kavvix
