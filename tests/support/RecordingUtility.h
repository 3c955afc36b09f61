#pragma once

#include <kavvix/cUtility.h>

#include <QList>
#include <QString>

#include <memory>

namespace KavvixTest {

struct LogEntry {
    qint32 number;
    QString procedure;
    QString message;
    qint32 level;
    bool operator==(const LogEntry &) const = default;
};

// A cUtility that records each entry; can be told to fail on a WriteLog.
class RecordingUtility : public Kavvix::cUtility {
public:
    void WriteLog(qint32 number, const QString &procedure, const QString &message,
                  qint32 level) override;
};

// Installs the recording factory for the life of the object and collects every entry of
// every instance created meanwhile. Restores the default factory on destruction.
class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();
    LogRecorder(const LogRecorder &) = delete;
    LogRecorder &operator=(const LogRecorder &) = delete;

    QList<LogEntry> entries() const;
    QList<qint32> numbers() const;
    void clear();
    // The write-th WriteLog call from now (1: the next) throws a Kavvix::Error instead of
    // recording.
    void failWriteAt(int write);
};

} // namespace KavvixTest
