// The live results service under load, in one process: the console simulator writes "305"
// frames to a pseudo-terminal, the service stores and announces them, K WebSocket clients
// receive them. Prints
//  - latency from the last byte of a frame written to the message arriving at each client
//    (p50, p99) for K = 1, 100, 500;
//  - dives stored per second when frames arrive back to back (SQLite, and PostgreSQL when
//    KAVVIX_BENCH_PG_URL names an empty database with the sample meet);
//  - resident memory before and after the stream.
// Usage: bench_service [DIVES]   (default 2000)
// The SQLite file goes to KAVVIX_BENCH_DIR (default: the temporary folder); on /dev/shm its
// commits cost no disk flush, which lets a long run measure memory rather than the disk.
#include "../../tests/service/SentDive.h"
#include "../../tests/support/ResidentMemory.h"

#include <kavvix/simulator/ConsoleSimulator.h>

#include <kavvix/MeetDatabase.h>
#include <kavvix/PortTable.h>
#include <kavvix/service/LiveService.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

using Kavvix::ConsoleSimulator;
using KavvixTest::residentKiB;
using KavvixTest::sendDive;
using KavvixTest::SentDive;

namespace {

// Runs the event loop until pred holds: blocks for events instead of sleeping between polls
// (as QTest::qWaitFor does), which would add its sleep to every hop measured.
template <typename Pred> void waitUntil(Pred pred, int timeoutMs) {
    QTimer wakeUp;
    wakeUp.start(100);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!pred() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

SentDive dive(int n) {
    SentDive fields;
    fields.round = qint16(1 + (n / 99) % 99);
    fields.divingOrder = qint16(1 + n % 99);
    fields.judges = {6.5f, 7.0f, float(n % 10), 0, 0, 0, 0, 0, 0};
    fields.totalScore = float(n % 1000);
    return fields;
}

// The WebSocket clients, on a thread of their own: in a meet they are other machines, so their
// own reading must not be counted as the service's delay.
class ClientPool : public QObject {
public:
    explicit ClientPool(const QElapsedTimer &clock) : m_clock(clock) {}

    // Called on the pool's thread; returns when all k are connected.
    void connectClients(quint16 port, int k) {
        m_clients.clear();
        for (int i = 0; i < k; ++i) {
            auto socket = std::make_unique<QWebSocket>();
            QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                             [this](const QString &text) {
                                 if (!text.contains(QLatin1String("\"type\":\"dive\"")))
                                     return;
                                 const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
                                 const std::lock_guard lock(m_mutex);
                                 m_latenciesUs.push_back(nowUs - sentAtUs.load());
                                 ++received;
                                 // Wakes the main thread, which waits for the count.
                                 QMetaObject::invokeMethod(
                                     qApp, [] {}, Qt::QueuedConnection);
                             });
            socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
            m_clients.push_back(std::move(socket));
        }
        waitUntil(
            [&] {
                return std::all_of(m_clients.begin(), m_clients.end(), [](const auto &c) {
                    return c->state() == QAbstractSocket::ConnectedState;
                });
            },
            30000);
    }
    void closeAll() { m_clients.clear(); }

    std::vector<qint64> takeLatencies() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_latenciesUs, {});
    }

    std::atomic<qint64> sentAtUs{0};
    std::atomic<int> received{0};

private:
    const QElapsedTimer &m_clock;
    std::vector<std::unique_ptr<QWebSocket>> m_clients;
    std::mutex m_mutex;
    std::vector<qint64> m_latenciesUs;
};

struct Bench {
    QTemporaryDir dir;
    ConsoleSimulator simulator;
    std::unique_ptr<Kavvix::LiveService> service;
    QElapsedTimer clock;
    QThread clientThread;
    ClientPool pool{clock};
    int nextDive = 0; // every dive sent is a new one: a stored row, not a repeat

    Bench() {
        pool.moveToThread(&clientThread);
        clientThread.start();
    }
    ~Bench() {
        QMetaObject::invokeMethod(
            &pool, [this] { pool.closeAll(); }, Qt::BlockingQueuedConnection);
        clientThread.quit();
        clientThread.wait();
    }

    bool start(const QString &database) {
        Kavvix::modKavvix::MapPort(1, simulator.slavePath());
        Kavvix::LiveServiceOptions options;
        options.database = database;
        options.meetId = QString(Kavvix::SampleMeet::MeetID);
        options.currentEvent = QString(Kavvix::SampleMeet::Event12Divers);
        options.httpPort = 0;
        options.journalPath = dir.filePath(QStringLiteral("journal"));
        service = std::make_unique<Kavvix::LiveService>(options);
        try {
            service->start();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "cannot start: %s\n", e.what());
            return false;
        }
        clock.start();
        return true;
    }

    void connectClients(int k) {
        const quint16 port = service->httpPort();
        // The service answers the handshakes on this thread: keep its loop running meanwhile.
        std::atomic<bool> connected = false;
        QMetaObject::invokeMethod(&pool, [this, port, k, &connected] {
            pool.connectClients(port, k);
            connected = true;
            QMetaObject::invokeMethod(
                qApp, [] {}, Qt::QueuedConnection);
        });
        waitUntil([&] { return connected.load(); }, 60000);
        pool.takeLatencies();
    }

    void latency(int k, int samples) {
        connectClients(k);
        for (int i = 0; i < samples; ++i) {
            pool.received = 0;
            pool.sentAtUs = clock.nsecsElapsed() / 1000;
            sendDive(simulator, dive(nextDive++));
            waitUntil([&] { return pool.received >= k; }, 10000);
        }
        std::vector<qint64> latenciesUs = pool.takeLatencies();
        std::sort(latenciesUs.begin(), latenciesUs.end());
        const auto at = [&](double q) {
            return latenciesUs.empty()
                       ? -1.0
                       : double(latenciesUs[std::size_t(q * double(latenciesUs.size() - 1))]) /
                             1000.0;
        };
        std::printf("latency K=%3d: p50 %.2f ms, p99 %.2f ms (%zu messages)\n", k, at(0.5),
                    at(0.99), latenciesUs.size());
    }

    void throughput(const char *name, int dives) {
        connectClients(1);
        pool.received = 0;
        const long before = residentKiB();
        QElapsedTimer elapsed;
        elapsed.start();
        // At most a few kilobytes in flight: the pseudo-terminal's buffer is small, and a
        // console at 9600 baud never has more than a frame or two outstanding.
        constexpr int Batch = 10, InFlight = 40;
        for (int i = 0; i < dives; i += Batch) {
            QByteArray frames;
            for (int j = i; j < qMin(dives, i + Batch); ++j)
                frames += ConsoleSimulator::diveResultFrame(*KavvixTest::toRecord(dive(nextDive++)))
                              .toLatin1();
            simulator.sendRaw(frames);
            waitUntil([&] { return pool.received >= i + Batch - InFlight; }, 10000);
        }
        waitUntil([&] { return pool.received >= dives; }, 3600000);
        std::printf(
            "%s: %d dives stored and announced in %.2f s: %.0f dives/s; RSS %ld -> %ld KiB\n", name,
            pool.received.load(), double(elapsed.elapsed()) / 1000.0,
            pool.received * 1000.0 / double(qMax<qint64>(1, elapsed.elapsed())), before,
            residentKiB());
    }
};

QString sqliteMeet(const QTemporaryDir &dir) {
    const QString file = dir.filePath(QStringLiteral("meet.db"));
    QFile(file).open(QIODevice::WriteOnly);
    Kavvix::SampleMeet::write(Kavvix::openMeetDatabase(file, QStringLiteral("bench-setup")));
    return file;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int dives = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir dir(qEnvironmentVariable("KAVVIX_BENCH_DIR", QDir::tempPath()) +
                      QStringLiteral("/kavvix-bench-XXXXXX"));
    {
        Bench bench;
        if (!bench.start(sqliteMeet(dir)))
            return 1;
        for (const int k : {1, 100, 500})
            bench.latency(k, 20);
        bench.throughput("SQLite", dives);
    }
    const QString pg = qEnvironmentVariable("KAVVIX_BENCH_PG_URL");
    if (!pg.isEmpty()) {
        Bench bench;
        if (bench.start(pg))
            bench.throughput("PostgreSQL", dives);
    }
    return 0;
}
