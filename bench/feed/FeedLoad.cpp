// A load client for WebSocket feeds: starts a server, holds K connections to it in this
// process (one epoll loop, no Qt), triggers D messages one after another and measures, for
// each message and client, the time from the trigger to the message's arrival.
//
//   bench_feed --clients K --dives D --trigger pty|stdin [--message FILE] [--save-message FILE]
//              [--server-log FILE] [--connect PORT] [--measure NAME=PID[,PID...]]...
//              [--warm-up N] -- SERVER ARGS...
//
// "{port}" in the server's arguments becomes a free loopback port.
//  --connect: the clients connect to this loopback port instead of the server's (a mirror of
//    the server, or a proxy in front of mirrors).
//  --warm-up: N messages before the D measured ones, timed by nothing (the first one after a
//    start prepares what a process prepares once).
//  --measure: CPU and memory are measured for these processes (each of them) instead of the
//    server's; given again, for another group.
//  - pty: KAVVIX_COM3 names a pseudo-terminal for the server; a trigger is a judged-dive
//    frame of the sample meet written to its console side (the instant of the write).
//  - stdin: the server reads lines on its standard input and sends each to every client; a
//    trigger is one line, the text of --message (the instant of the write).
// Messages that carry "type":"dive" are counted. Prints one row: clients, p50 and p99 in ms,
// the message size, whether every client got every message, and for the server (or each
// group measured) the CPU time per message and the resident memory before and with the clients
// and after the messages, averaged over the group's processes.
#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sstream>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

pid_t startedServer = -1; // stopped when the run fails, so that it holds nothing open

[[noreturn]] void fail(const std::string &text) {
    std::fprintf(stderr, "bench_feed: %s\n", text.c_str());
    if (startedServer > 0)
        kill(startedServer, SIGTERM);
    std::exit(1);
}

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Options {
    int clients = 100;
    int dives = 10;
    int warmUp = 0;
    bool pty = true;
    std::string messageFile;
    std::string saveMessage;
    std::string serverLog = "/dev/null";
    std::vector<std::string> server;
    int connectPort = 0;
    std::vector<std::pair<std::string, std::vector<pid_t>>> measured;
};

std::pair<std::string, std::vector<pid_t>> group(const std::string &text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        fail("--measure takes NAME=PID[,PID...]");
    std::vector<pid_t> pids;
    std::istringstream list(text.substr(equals + 1));
    for (std::string pid; std::getline(list, pid, ',');)
        pids.push_back(pid_t(std::stoi(pid)));
    if (pids.empty())
        fail("--measure " + text + " names no process");
    return {text.substr(0, equals), pids};
}

Options parse(int argc, char **argv) {
    Options o;
    int i = 1;
    auto value = [&](const char *name) {
        if (i + 1 >= argc)
            fail(std::string(name) + " needs a value");
        return std::string(argv[++i]);
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            o.server.assign(argv + i + 1, argv + argc);
            break;
        }
        if (arg == "--clients")
            o.clients = std::stoi(value("--clients"));
        else if (arg == "--dives")
            o.dives = std::stoi(value("--dives"));
        else if (arg == "--warm-up")
            o.warmUp = std::stoi(value("--warm-up"));
        else if (arg == "--trigger")
            o.pty = value("--trigger") == "pty";
        else if (arg == "--message")
            o.messageFile = value("--message");
        else if (arg == "--save-message")
            o.saveMessage = value("--save-message");
        else if (arg == "--server-log")
            o.serverLog = value("--server-log");
        else if (arg == "--connect")
            o.connectPort = std::stoi(value("--connect"));
        else if (arg == "--measure")
            o.measured.push_back(group(value("--measure")));
        else
            fail("unknown option " + arg);
    }
    if (o.server.empty() || o.clients < 1 || o.dives < 1 || o.warmUp < 0)
        fail("usage: bench_feed --clients K --dives D --trigger pty|stdin ... -- SERVER ARGS");
    if (!o.pty && o.messageFile.empty())
        fail("--trigger stdin needs --message FILE");
    return o;
}

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        fail("no free port");
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

struct Server {
    pid_t pid = -1;
    int triggerFd = -1; // the pty's console side, or a pipe to the server's stdin
};

Server start(const Options &o, int port) {
    Server s;
    std::string slave;
    if (o.pty) {
        s.triggerFd = posix_openpt(O_RDWR | O_NOCTTY);
        if (s.triggerFd < 0 || grantpt(s.triggerFd) != 0 || unlockpt(s.triggerFd) != 0)
            fail("no pseudo-terminal");
        slave = ptsname(s.triggerFd);
    }
    int pipeFds[2] = {-1, -1};
    if (!o.pty && pipe(pipeFds) != 0)
        fail("no pipe");
    s.pid = fork();
    if (s.pid == 0) {
        if (o.pty)
            setenv("KAVVIX_COM3", slave.c_str(), 1);
        else
            dup2(pipeFds[0], 0);
        const int log = open(o.serverLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 2);
        std::vector<std::string> args = o.server;
        for (std::string &arg : args) {
            const auto at = arg.find("{port}");
            if (at != std::string::npos)
                arg.replace(at, 6, std::to_string(port));
        }
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (!o.pty) {
        close(pipeFds[0]);
        s.triggerFd = pipeFds[1];
    }
    return s;
}

// The server's CPU time (user + system) in ms and resident memory in KiB, from /proc.
double cpuMs(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; fields >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        if (n == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

long rssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// Processes measured together: CPU time and resident memory summed over them.
struct Watched {
    std::string name;
    std::vector<pid_t> pids;
    long rssBefore = 0;
    long rssWith = 0;
    long rssAfter = 0;
    double cpuBefore = 0;
    double cpuAfter = 0;

    double cpu() const {
        double sum = 0;
        for (pid_t pid : pids)
            sum += cpuMs(pid);
        return sum;
    }
    std::string label() const {
        return pids.size() > 1 ? name + " (each of " + std::to_string(pids.size()) + ")" : name;
    }
    long rss() const {
        long sum = 0;
        for (pid_t pid : pids)
            sum += rssKiB(pid);
        return sum;
    }
};

bool accepting(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

enum class State { Connecting, Upgrading, Open, Closed };

struct Client {
    int fd = -1;
    State state = State::Connecting;
    std::string in; // bytes received and not yet taken apart
    int dives = 0;  // dive messages received
};

class Load {
public:
    Load(int port, int count, std::vector<double> &latencies)
        : m_port(port), m_clients(std::size_t(count)), m_latencies(latencies) {
        m_epoll = epoll_create1(0);
    }

    // Opens every connection, at most a few handshakes at a time so the server's listen
    // queue never overflows (a dropped SYN costs a second).
    void connectAll() {
        std::size_t next = 0;
        const double deadline = nowMs() + 120000;
        while (m_open < int(m_clients.size())) {
            while (next < m_clients.size() && m_handshaking < 64)
                open(next++);
            poll(100);
            if (nowMs() > deadline)
                fail("only " + std::to_string(m_open) + " clients connected");
        }
    }

    // Waits until every open client has `dives` dive messages or the time is up.
    void awaitDive(int dives, double triggerMs, int timeoutMs) {
        m_triggerMs = triggerMs;
        m_expected = dives;
        m_done = int(std::count_if(m_clients.begin(), m_clients.end(), [dives](const Client &c) {
            return c.state != State::Open || c.dives >= dives;
        }));
        const double deadline = nowMs() + timeoutMs;
        while (m_done < int(m_clients.size()) && nowMs() < deadline)
            poll(50);
    }

    void settle(int ms) {
        const double until = nowMs() + ms;
        while (nowMs() < until)
            poll(int(std::max(1.0, until - nowMs())));
    }

    bool everyClientGotEvery(int dives) const {
        return std::all_of(m_clients.begin(), m_clients.end(), [dives](const Client &c) {
            return c.state == State::Open && c.dives == dives;
        });
    }
    const std::string &firstMessage() const { return m_firstMessage; }

private:
    void open(std::size_t i) {
        Client &c = m_clients[i];
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (c.fd < 0)
            fail("socket: " + std::string(std::strerror(errno)) + " (raise ulimit -n)");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uint16_t(m_port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(c.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLOUT;
        ev.data.u64 = i;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, c.fd, &ev);
        ++m_handshaking;
    }

    void poll(int timeoutMs) {
        epoll_event events[256];
        const int n = epoll_wait(m_epoll, events, 256, timeoutMs);
        const double arrival = nowMs();
        for (int k = 0; k < n; ++k) {
            Client &c = m_clients[events[k].data.u64];
            if (c.state == State::Connecting && (events[k].events & EPOLLOUT))
                sendUpgrade(c, events[k].data.u64);
            if (events[k].events & (EPOLLIN | EPOLLHUP | EPOLLERR))
                receive(c, arrival);
        }
    }

    void sendUpgrade(Client &c, std::size_t i) {
        const std::string request =
            "GET /live HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_port) +
            "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
            "Sec-WebSocket-Version: 13\r\n\r\n";
        if (write(c.fd, request.data(), request.size()) != ssize_t(request.size()))
            return close(c);
        c.state = State::Upgrading;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = i;
        epoll_ctl(m_epoll, EPOLL_CTL_MOD, c.fd, &ev);
    }

    void close(Client &c) {
        if (c.state == State::Connecting || c.state == State::Upgrading)
            --m_handshaking;
        if (c.state == State::Open) {
            --m_open;
            if (c.dives < m_expected)
                ++m_done; // nothing more will come
        }
        c.state = State::Closed;
        ::close(c.fd);
        ++m_closed;
        if (m_closed == 1)
            std::fprintf(stderr, "bench_feed: a client's connection closed\n");
    }

    void receive(Client &c, double arrival) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = read(c.fd, buffer, sizeof buffer);
            if (n > 0) {
                c.in.append(buffer, std::size_t(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return close(c);
            if (errno == EAGAIN)
                break;
        }
        if (c.state == State::Upgrading) {
            const auto end = c.in.find("\r\n\r\n");
            if (end == std::string::npos)
                return;
            if (c.in.compare(0, 12, "HTTP/1.1 101") != 0)
                fail("the server refused the upgrade: " + c.in.substr(0, c.in.find('\r')));
            c.in.erase(0, end + 4);
            c.state = State::Open;
            --m_handshaking;
            ++m_open;
        }
        takeFrames(c, arrival);
    }

    // Unmasked frames from the server; text messages are checked for a dive, pings answered.
    void takeFrames(Client &c, double arrival) {
        std::size_t at = 0;
        while (c.in.size() - at >= 2) {
            const auto *p = reinterpret_cast<const unsigned char *>(c.in.data() + at);
            const int opcode = p[0] & 0x0f;
            std::size_t header = 2;
            uint64_t length = p[1] & 0x7f;
            if (length == 126) {
                header = 4;
                if (c.in.size() - at < header)
                    break;
                length = (uint64_t(p[2]) << 8) | p[3];
            } else if (length == 127) {
                header = 10;
                if (c.in.size() - at < header)
                    break;
                length = 0;
                for (int b = 2; b < 10; ++b)
                    length = (length << 8) | p[b];
            }
            if (c.in.size() - at < header + length)
                break;
            const std::string_view payload(c.in.data() + at + header, length);
            if (opcode == 1 && payload.find("\"type\":\"dive\"") != std::string_view::npos)
                dive(c, payload, arrival);
            else if (opcode == 9)
                pong(c, payload);
            else if (opcode == 8)
                return close(c);
            at += header + length;
        }
        c.in.erase(0, at);
    }

    void dive(Client &c, std::string_view payload, double arrival) {
        ++c.dives;
        if (m_firstMessage.empty())
            m_firstMessage = payload;
        if (c.dives == m_expected) {
            m_latencies.push_back(arrival - m_triggerMs);
            ++m_done;
        }
    }

    void pong(Client &c, std::string_view payload) {
        std::string frame = {char(0x8a), char(0x80 | payload.size()), 0, 0, 0, 0};
        frame.append(payload); // a zero mask leaves the payload as it is
        if (write(c.fd, frame.data(), frame.size()) < 0)
            close(c);
    }

    int m_port;
    int m_epoll = -1;
    std::vector<Client> m_clients;
    std::vector<double> &m_latencies;
    std::string m_firstMessage;
    int m_handshaking = 0;
    int m_open = 0;
    int m_closed = 0;
    int m_done = 0;
    int m_expected = 0;
    double m_triggerMs = 0;
};

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    if (!in)
        fail("cannot read " + path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

QByteArray diveFrame(int n) {
    Kavvix::cDiveResult dive;
    Kavvix::SampleMeet::fillJudgedDive(dive, n);
    return Kavvix::ConsoleSimulator::diveResultFrame(dive).toLatin1();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const Options o = parse(argc, argv);
    std::string message;
    if (!o.pty) {
        message = readFile(o.messageFile);
        message.erase(message.find_last_not_of('\n') + 1);
        message += '\n';
    }
    const int port = freePort();
    const Server server = start(o, port);
    startedServer = server.pid;
    const double readyBy = nowMs() + 30000;
    while (!accepting(port)) {
        if (nowMs() > readyBy || waitpid(server.pid, nullptr, WNOHANG) != 0)
            fail("the server did not start");
        usleep(20000);
    }
    const int clientPort = o.connectPort ? o.connectPort : port;
    if (!accepting(clientPort))
        fail("nothing listens on the port given by --connect");
    std::vector<Watched> watched;
    for (const auto &[name, pids] : o.measured)
        watched.push_back({name, pids});
    if (watched.empty())
        watched.push_back({"server", {server.pid}});
    for (Watched &w : watched)
        w.rssBefore = w.rss();
    std::vector<double> latencies;
    latencies.reserve(std::size_t(o.clients) * std::size_t(o.dives));
    Load load(clientPort, o.clients, latencies);
    load.connectAll();
    load.settle(500);
    for (Watched &w : watched)
        w.rssWith = w.rss();
    const int total = o.warmUp + o.dives;
    for (int d = 1; d <= total; ++d) {
        if (d == o.warmUp + 1) { // the measured ones begin
            latencies.clear();
            for (Watched &w : watched)
                w.cpuBefore = w.cpu();
        }
        const QByteArray frame = o.pty ? diveFrame(d) : QByteArray::fromStdString(message);
        const double trigger = nowMs();
        if (write(server.triggerFd, frame.constData(), std::size_t(frame.size())) != frame.size())
            fail("cannot write the trigger");
        load.awaitDive(d, trigger, 20000);
        load.settle(300); // a quiet gap, as between two dives
        if (o.pty) {      // the console's side drains what the server asked of it
            char drain[4096];
            fcntl(server.triggerFd, F_SETFL, O_NONBLOCK);
            while (read(server.triggerFd, drain, sizeof drain) > 0) {
            }
        }
    }
    for (Watched &w : watched) {
        w.cpuAfter = w.cpu();
        w.rssAfter = w.rss(); // what sending kept, for each client
    }
    const bool all = load.everyClientGotEvery(total);
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    if (!o.saveMessage.empty())
        std::ofstream(o.saveMessage) << load.firstMessage() << '\n';
    std::printf("%6d clients  p50 %8.1f ms  p99 %8.1f ms  message %5zu B  every client every "
                "dive: %s",
                o.clients, percentile(latencies, 0.50), percentile(latencies, 0.99),
                load.firstMessage().size(), all ? "yes" : "NO");
    for (const Watched &w : watched) {
        const double each = double(w.pids.size());
        std::printf("  | %s CPU/dive %7.1f ms  RSS %6.1f -> %6.1f MiB (%4.1f KiB/client), %6.1f "
                    "MiB after the dives",
                    w.label().c_str(), (w.cpuAfter - w.cpuBefore) / o.dives / each,
                    double(w.rssBefore) / 1024 / each, double(w.rssWith) / 1024 / each,
                    double(w.rssWith - w.rssBefore) / o.clients, double(w.rssAfter) / 1024 / each);
    }
    std::printf("\n");
    return all ? 0 : 1;
}
