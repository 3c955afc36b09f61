#include "service/ServiceMetrics.h"
#include "service/ServiceRoutes.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using Kavvix::ServiceMetrics;

namespace {

// The value of one sample line ("name{labels} value") of the text, or -1 when it is missing.
double sample(const QByteArray &text, const QString &series) {
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(series) +
                                      QStringLiteral(" (\\S+)$"),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromUtf8(text));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

// A path is counted under the route that served it, so an event id or a file name never makes
// a series of its own; what no route serves is one series.
TEST(ServiceMetrics, RouteOfAPath) {
    for (int r = 0; r <= int(Kavvix::ServiceRoute::Last); ++r) {
        const QString label = Kavvix::ServiceRoutes::label(Kavvix::ServiceRoute(r));
        for (const char *id : {"E12", "E%22x"})
            EXPECT_EQ(ServiceMetrics::routeOf(QString(label).replace(
                          QRegularExpression(QStringLiteral("\\{\\w+\\}")), QLatin1String(id))),
                      label);
    }
    for (const char *path : {"/api/events/E12/other", "/api/events//results",
                             "/api/events/E12/results/more", "/pages/", "/etc/passwd", ""})
        EXPECT_EQ(ServiceMetrics::routeOf(QLatin1String(path)), QLatin1String("other")) << path;
}

// Buckets count every observation at or under their bound, so they only grow upwards; +Inf
// holds them all. The gauges are the figures given; every series is introduced by its type, as
// a scraper requires. (The service's counters, _count among them, moving with a dive through a
// real process: tests/package/test_service_unit.py.)
TEST(ServiceMetrics, LatencyHistogramIsCumulativeInTheTextFormat) {
    ServiceMetrics metrics;
    for (double seconds : {0.0004, 0.001, 0.003, 0.04, 0.04, 2.5})
        metrics.observeAnnounceLatency(seconds);
    const QByteArray text = metrics.text({.journalBacklog = 4, .feedClients = 7});
    const std::pair<const char *, double> expected[] = {
        {"kavvix_announce_latency_seconds_bucket{le=\"0.001\"}", 2},
        {"kavvix_announce_latency_seconds_bucket{le=\"0.005\"}", 3},
        {"kavvix_announce_latency_seconds_bucket{le=\"0.05\"}", 5},
        {"kavvix_announce_latency_seconds_bucket{le=\"+Inf\"}", 6},
        {"kavvix_journal_backlog", 4},
        {"kavvix_feed_clients", 7},
    };
    for (const auto &[series, value] : expected)
        EXPECT_EQ(sample(text, QLatin1String(series)), value) << series;
    EXPECT_NEAR(sample(text, QStringLiteral("kavvix_announce_latency_seconds_sum")), 2.5844, 1e-9);
    for (const char *name :
         {"kavvix_dives_stored_total counter", "kavvix_journal_backlog gauge",
          "kavvix_http_requests_total counter", "kavvix_announce_latency_seconds histogram"})
        EXPECT_TRUE(text.contains(QByteArray("# TYPE ") + name)) << name;
    EXPECT_TRUE(text.endsWith('\n'));
}
