#pragma once

#include "bindings/common/BindingError.h"

#include <kavvix/kavvix_c.h>

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

// What every function of the C interface shares: the last error of the thread, the guard that
// turns any failure into a status, the reading of text arguments, and the handle tables.
namespace Kavvix::CInterface {

// A failure to report with this status and text.
struct Failure {
    int status;
    QString text;
};

void clearLastError();
void setLastError(const QString &text);

// The status of a failure escaping from a call, its text stored as the last error.
int statusOf(std::exception_ptr failure) noexcept;

// Runs body, which returns a status; any failure becomes a status and the last error.
template <class Body> int guarded(Body &&body) noexcept {
    try {
        clearLastError();
        return body();
    } catch (...) {
        return statusOf(std::current_exception());
    }
}

// Runs body, which returns a handle; any failure gives NULL and the last error.
template <class Handle, class Body> Handle *guardedOpen(Body &&body) noexcept {
    Handle *handle = nullptr;
    guarded([&] {
        handle = body();
        return KAVVIX_OK;
    });
    return handle;
}

// A UTF-8 argument as text; NULL or malformed UTF-8 fails with an invalid-argument status.
QString textArgument(const char *text, const char *name);
// The same, with NULL read as the given default.
QString textArgument(const char *text, const char *name, const QString &ifNull);
// Bytes of a feed call: NULL is allowed only for no bytes.
void requireBytes(const void *bytes, size_t length);

// A token for a new handle: never 0, never handed out twice, whatever the kind.
std::uintptr_t newToken();

// The open handles of one kind: token -> object and the thread that opened it. An entry point
// holds the object while it runs, so a handle closed from one of its own callbacks is released
// when that call returns. A handle is used only on the thread that opened it (its objects
// belong to that thread's event loop); another thread gets a status, never a race.
template <class Object> class HandleTable {
public:
    explicit HandleTable(const char *kind) : m_kind(kind) {}

    // The table of one kind of handle, for the life of the process. It is never destroyed:
    // handles a host leaves open at exit go with the process, as its files do, instead of
    // being destroyed after the library's own statics are gone.
    static HandleTable &of(const char *kind) {
        static auto *table = new HandleTable(kind);
        return *table;
    }

    template <class Handle> Handle *add(std::shared_ptr<Object> object) {
        const std::uintptr_t token = newToken();
        std::lock_guard lock(m_mutex);
        m_objects.emplace(token, Entry{std::move(object), std::this_thread::get_id()});
        return reinterpret_cast<Handle *>(token);
    }
    template <class Handle> std::shared_ptr<Object> find(Handle *handle) const {
        if (handle == nullptr)
            throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT,
                          QStringLiteral("the %1 is NULL").arg(m_kind)};
        std::lock_guard lock(m_mutex);
        const auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_objects.end())
            throw Failure{KAVVIX_ERROR_CLOSED_HANDLE,
                          QStringLiteral("not an open %1 (closed already?)").arg(m_kind)};
        if (it->second.thread != std::this_thread::get_id())
            throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT,
                          QStringLiteral("the %1 belongs to the thread that opened it; use it "
                                         "only there")
                              .arg(m_kind)};
        return it->second.object;
    }
    // Closing NULL does nothing, as free(NULL) does.
    template <class Handle> std::shared_ptr<Object> remove(Handle *handle) {
        if (handle == nullptr)
            return {};
        std::shared_ptr<Object> object = find(handle);
        std::lock_guard lock(m_mutex);
        m_objects.erase(reinterpret_cast<std::uintptr_t>(handle));
        return object;
    }
    template <class Visit> void forEach(Visit &&visit) const {
        std::lock_guard lock(m_mutex);
        for (const auto &entry : m_objects)
            if (entry.second.thread == std::this_thread::get_id())
                visit(entry.second.object);
    }

private:
    struct Entry {
        std::shared_ptr<Object> object;
        std::thread::id thread;
    };
    const char *m_kind;
    mutable std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, Entry> m_objects;
};

} // namespace Kavvix::CInterface
