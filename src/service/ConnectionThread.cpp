#include "ConnectionThread.h"

namespace Kavvix {

ConnectionThread::ConnectionThread(const QString &name) : m_context(std::make_unique<QObject>()) {
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
    });
    m_thread.quit();
    m_thread.wait();
}

} // namespace Kavvix
