#include "RecordingUtility.h"

#include <kavvix/Error.h>

namespace KavvixTest {

namespace {
QList<LogEntry> g_entries;
int g_failAt = 0; // the write that fails, counting from 1; 0: none
} // namespace

void RecordingUtility::WriteLog(qint32 number, const QString &procedure, const QString &message,
                                qint32 level) {
    if (g_failAt > 0 && --g_failAt == 0)
        throw Kavvix::Error::invalidArgument(QStringLiteral("log writer failed"));
    g_entries.append({number, procedure, message, level});
}

LogRecorder::LogRecorder() {
    g_entries.clear();
    g_failAt = 0;
    Kavvix::setUtilityFactory([] { return std::make_unique<RecordingUtility>(); });
}

LogRecorder::~LogRecorder() {
    Kavvix::setUtilityFactory({});
    g_entries.clear();
}

QList<LogEntry> LogRecorder::entries() const {
    return g_entries;
}

QList<qint32> LogRecorder::numbers() const {
    QList<qint32> out;
    for (const LogEntry &e : g_entries)
        out << e.number;
    return out;
}

void LogRecorder::clear() {
    g_entries.clear();
}

void LogRecorder::failWriteAt(int write) {
    g_failAt = write;
}

} // namespace KavvixTest
