#include "ConnectionThread.h"

#include <kavvix/MeetDatabase.h>

#include <QDeadlineTimer>
#include <QTimer>

#include <climits>

#include <atomic>

namespace Kavvix {

ConnectionThread::ConnectionThread(const QString &name) : m_context(std::make_unique<QObject>()) {
    static std::atomic<int> count = 0;
    m_connectionName = QStringLiteral("%1-%2").arg(name).arg(++count);
    m_thread.setObjectName(name);
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

ConnectionThread::~ConnectionThread() {
    if (!m_finished)
        finish(ULONG_MAX);
}

bool ConnectionThread::finish(unsigned long waitMs) {
    m_finished = true;
    post([this] {
        if (m_finish)
            m_finish();
        // Timers and connections made with the context go on its thread.
        qDeleteAll(m_context->children());
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        m_thread.quit();
    });
    return m_thread.wait(waitMs == ULONG_MAX ? QDeadlineTimer(QDeadlineTimer::Forever)
                                             : QDeadlineTimer(qint64(waitMs)));
}

QSqlDatabase &ConnectionThread::open(const QString &pathOrUrl) {
    m_db = openMeetDatabase(pathOrUrl, m_connectionName);
    return m_db;
}

void ConnectionThread::every(int intervalMs, std::function<void()> function) {
    auto *timer = new QTimer(m_context.get());
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, m_context.get(), std::move(function));
    timer->start();
}

} // namespace Kavvix
