#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <array>
#include <utility>

namespace Kavvix {

// The service's counters, in the Prometheus text format for GET /metrics. Counters only ever
// grow; the gauges (journal backlog, feed clients) are read when the text is made.
class ServiceMetrics {
public:
    // Upper bounds, in seconds, of the frame-to-announce latency buckets.
    static constexpr std::array<double, 9> LatencyBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025,
                                                             0.05,  0.1,    0.25,  1.0};

    struct Gauges {
        qint64 journalBacklog = 0;
        qint64 feedClients = 0;
    };

    void countStored() { ++m_stored; }
    void countJournaled() { ++m_journaled; }
    void countAnnounced() { ++m_announced; }
    void countRejectedFrame() { ++m_rejectedFrames; }
    void countRequest(const QString &path, int status);
    // Time from the frame's arrival on the line to the dive going out to the clients.
    void observeAnnounceLatency(double seconds);

    QByteArray text(const Gauges &gauges) const;

    // The route a path was served by, so that event ids and file names do not each become a
    // series of their own: /api/events/E12/results -> /api/events/{event}/results.
    static QString routeOf(const QString &path);

private:
    qint64 m_stored = 0;
    qint64 m_journaled = 0;
    qint64 m_announced = 0;
    qint64 m_rejectedFrames = 0;
    QMap<std::pair<QString, int>, qint64> m_requests;
    std::array<qint64, LatencyBuckets.size()> m_latencyBuckets{};
    qint64 m_latencyCount = 0;
    double m_latencySum = 0;
};

} // namespace Kavvix
