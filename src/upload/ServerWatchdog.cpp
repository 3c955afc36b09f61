#include "ServerWatchdog.h"

#include "upload/dialect/StatementTimeout.h"

#include <QSqlDriver>
#include <QVariant>

#include <chrono>
#include <cstring>

#include <dlfcn.h>
#include <sys/socket.h>

namespace Kavvix {

namespace {

constexpr int ServerGraceMs = 1000;

// The socket of a PostgreSQL connection. Qt hands out the client library's connection
// handle but not its socket; the library is already loaded by the SQL driver, so its
// PQsocket is looked up there rather than linked.
int socketOf(const QSqlDatabase &db) {
    using SocketFunction = int (*)(const void *);
    static const SocketFunction pqSocket = []() -> SocketFunction {
        void *library = dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        void *symbol = library ? dlsym(library, "PQsocket") : nullptr;
        SocketFunction function = nullptr;
        std::memcpy(&function, &symbol, sizeof function);
        return function;
    }();
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // The driver registers the handle under the structure's name, PGconn being its alias.
    const bool isConnection =
        qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0;
    if (!pqSocket || !isConnection)
        return -1;
    const void *connection = *static_cast<void *const *>(handle.constData());
    return connection ? pqSocket(connection) : -1;
}

} // namespace

ServerWatchdog::ServerWatchdog(const QSqlDatabase &db) : m_timeoutMs(StatementTimeout::of(db)) {
    if (m_timeoutMs <= 0 || !db.isOpen())
        return;
    const int socket = socketOf(db);
    if (socket >= 0)
        m_thread = std::thread([this, socket] { watch(socket); });
}

ServerWatchdog::~ServerWatchdog() {
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_finished.notify_one();
    m_thread.join();
}

bool ServerWatchdog::expired() const {
    const std::lock_guard lock(m_mutex);
    return m_expired;
}

void ServerWatchdog::watch(int socket) {
    std::unique_lock lock(m_mutex);
    if (m_finished.wait_for(lock, std::chrono::milliseconds(m_timeoutMs + ServerGraceMs),
                            [this] { return m_done; }))
        return;
    m_expired = true;
    ::shutdown(socket, SHUT_RDWR);
}

} // namespace Kavvix
