#pragma once

#include <kavvix/Error.h>
#include <kavvix/cUtility.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace KavvixTest {

struct LogEntry {
    qint32 number;
    QString procedure;
    QString message;
    qint32 level;
    bool operator==(const LogEntry &) const = default;
};

// Installs, for the life of the object, a cUtility factory whose instances record every log
// entry here; restores the default factory on destruction.
class LogRecorder {
public:
    LogRecorder() {
        clear();
        failWriteAt(0);
        Kavvix::setUtilityFactory([] { return std::make_unique<Recording>(); });
    }
    ~LogRecorder() {
        Kavvix::setUtilityFactory({});
        clear();
        traceInto(nullptr);
    }
    LogRecorder(const LogRecorder &) = delete;
    LogRecorder &operator=(const LogRecorder &) = delete;

    QList<LogEntry> entries() const { return s_entries; }
    void clear() { s_entries.clear(); }
    // The write-th WriteLog call from now (1: the next) throws a Kavvix::Error instead of
    // recording.
    void failWriteAt(int write) { s_failAt = write; }
    // Appends the entries from now on to trace instead, as "L<number> <procedure> <message>
    // <level>", in order with what else the caller traces; nullptr: back to entries().
    void traceInto(QStringList *trace) { s_trace = trace; }

private:
    struct Recording : Kavvix::cUtility {
        void WriteLog(qint32 number, const QString &procedure, const QString &message,
                      qint32 level) override {
            if (s_failAt > 0 && --s_failAt == 0)
                throw Kavvix::Error::invalidArgument(QStringLiteral("log writer failed"));
            if (s_trace)
                *s_trace << QStringLiteral("L%1 %2 %3 %4")
                                .arg(number)
                                .arg(procedure, message)
                                .arg(level);
            else
                s_entries.append({number, procedure, message, level});
        }
    };
    inline static QList<LogEntry> s_entries;
    inline static int s_failAt = 0; // the write that fails, counting from 1; 0: none
    inline static QStringList *s_trace = nullptr;
};

} // namespace KavvixTest
