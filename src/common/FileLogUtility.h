#pragma once

#include <kavvix/cUtility.h>

namespace Kavvix {

// The default cUtility: appends each entry as one readable line to the log file,
// $KAVVIX_LOG_FILE when set, else kavvix.log in the user's application-data folder. The log
// keeps a bounded size: when the file would pass MaxFileBytes it becomes <log>.1 (the older
// ones <log>.2 ... up to KeptOldFiles, the oldest dropped) and a new file is begun. A log that
// cannot be written draws one warning per path, not one per entry.
class FileLogUtility : public cUtility {
public:
    static constexpr qint64 MaxFileBytes = 2 * 1024 * 1024;
    static constexpr int KeptOldFiles = 3;

    void WriteLog(qint32 number, const QString &procedure, const QString &message,
                  qint32 level) override;

    static QString logFilePath();
    // The message with control characters written as <SYN>, <x1B>, ... so a line stays a line.
    static QString visible(const QString &message);
};

} // namespace Kavvix
