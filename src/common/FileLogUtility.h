#pragma once

#include <kavvix/cUtility.h>

namespace Kavvix {

// The default cUtility: appends each entry as one readable line to the log file,
// $KAVVIX_LOG_FILE when set, else kavvix.log in the user's application-data folder.
class FileLogUtility : public cUtility {
public:
    void WriteLog(qint32 number, const QString &procedure, const QString &message,
                  qint32 level) override;

    static QString logFilePath();
    // The message with control characters written as <SYN>, <x1B>, ... so a line stays a line.
    static QString visible(const QString &message);
};

} // namespace Kavvix
