#include "ServiceMetrics.h"

#include "ServiceRoutes.h"

namespace Kavvix {

namespace {

void addMetric(QByteArray &out, const char *name, const char *type, const char *help,
               qint64 value) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n' +
           name + ' ' + QByteArray::number(value) + '\n';
}

// A label value with the three characters the format escapes.
QByteArray labelValue(const QString &text) {
    QByteArray value = text.toUtf8();
    value.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return value;
}

} // namespace

void ServiceMetrics::countRequest(const QString &path, int status) {
    ++m_requests[{routeOf(path), status}];
}

void ServiceMetrics::observeAnnounceLatency(double seconds) {
    for (std::size_t i = 0; i < LatencyBuckets.size(); ++i)
        if (seconds <= LatencyBuckets[i])
            ++m_latencyBuckets[i];
    ++m_latencyCount;
    m_latencySum += seconds;
}

QString ServiceMetrics::routeOf(const QString &path) {
    return ServiceRoutes::labelOf(path);
}

QByteArray ServiceMetrics::text(const Gauges &gauges) const {
    QByteArray out;
    addMetric(out, "kavvix_dives_stored_total", "counter",
              "Judged dives written to the meet database as they arrived.", m_stored);
    addMetric(out, "kavvix_dives_journaled_total", "counter",
              "Judged dives written to the journal while the database could not take them.",
              m_journaled);
    addMetric(out, "kavvix_dives_announced_total", "counter", "Judged dives sent to the live feed.",
              m_announced);
    addMetric(out, "kavvix_journal_backlog", "gauge",
              "Dives in the journal waiting for the database.", gauges.journalBacklog);
    addMetric(out, "kavvix_feed_clients", "gauge", "Clients connected to the /live feed.",
              gauges.feedClients);
    addMetric(out, "kavvix_rejected_frames_total", "counter",
              "Frames from the console refused as damaged or malformed.", m_rejectedFrames);

    out += "# HELP kavvix_http_requests_total HTTP requests answered, by route and status.\n"
           "# TYPE kavvix_http_requests_total counter\n";
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it)
        out += "kavvix_http_requests_total{route=\"" + labelValue(it.key().first) + "\",code=\"" +
               QByteArray::number(it.key().second) + "\"} " + QByteArray::number(it.value()) + '\n';

    out += "# HELP kavvix_announce_latency_seconds Time from a judged dive's frame arriving on "
           "the line to the dive going out on the live feed.\n"
           "# TYPE kavvix_announce_latency_seconds histogram\n";
    for (std::size_t i = 0; i < LatencyBuckets.size(); ++i)
        out += "kavvix_announce_latency_seconds_bucket{le=\"" +
               QByteArray::number(LatencyBuckets[i], 'g', 6) + "\"} " +
               QByteArray::number(m_latencyBuckets[i]) + '\n';
    out += "kavvix_announce_latency_seconds_bucket{le=\"+Inf\"} " +
           QByteArray::number(m_latencyCount) + '\n';
    out += "kavvix_announce_latency_seconds_sum " + QByteArray::number(m_latencySum, 'g', 9) + '\n';
    out += "kavvix_announce_latency_seconds_count " + QByteArray::number(m_latencyCount) + '\n';
    return out;
}

} // namespace Kavvix
