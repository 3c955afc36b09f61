#include "InterruptWatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace KavvixCli {

namespace {

int g_signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: hand the signal number to the event loop.
void forwardSignal(int signalNumber) {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent) {
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InterruptWatcher::readSignal);
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void InterruptWatcher::watchHangup() {
    if (!m_notifier)
        return;
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
    m_watchesHangup = true;
}

InterruptWatcher::~InterruptWatcher() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (m_watchesHangup)
        std::signal(SIGHUP, SIG_DFL);
}

void InterruptWatcher::readSignal() {
    unsigned char byte = 0;
    if (::read(g_signalPipe[0], &byte, 1) != 1)
        return;
    if (byte == SIGHUP)
        emit hangup();
    else
        emit interrupted(byte);
}

} // namespace KavvixCli
