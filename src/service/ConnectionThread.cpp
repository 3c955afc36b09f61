#include "ConnectionThread.h"

#include <kavvix/MeetDatabase.h>

#include <QTimer>

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
    call([this] {
        if (m_finish)
            m_finish();
        // Timers and connections made with the context go on its thread.
        qDeleteAll(m_context->children());
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    });
    m_thread.quit();
    m_thread.wait();
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
