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

TEST(ServiceMetrics, CountersGaugesAndRequestsInTheTextFormat) {
    ServiceMetrics metrics;
    metrics.countStored();
    metrics.countStored();
    metrics.countJournaled();
    metrics.countAnnounced();
    metrics.countRejectedFrame();
    metrics.countRequest(QStringLiteral("/api/events/E12/results"), 200);
    metrics.countRequest(QStringLiteral("/api/events/E10/results"), 200);
    metrics.countRequest(QStringLiteral("/api/events/E99/results"), 404);
    const QByteArray text = metrics.text({.journalBacklog = 4, .feedClients = 7});

    const struct {
        const char *series;
        double value;
    } expected[] = {
        {"kavvix_dives_stored_total", 2},
        {"kavvix_dives_journaled_total", 1},
        {"kavvix_dives_announced_total", 1},
        {"kavvix_rejected_frames_total", 1},
        {"kavvix_journal_backlog", 4},
        {"kavvix_feed_clients", 7},
        {"kavvix_http_requests_total{route=\"/api/events/{event}/results\",code=\"200\"}", 2},
        {"kavvix_http_requests_total{route=\"/api/events/{event}/results\",code=\"404\"}", 1},
        {"kavvix_announce_latency_seconds_count", 0},
    };
    for (const auto &e : expected)
        EXPECT_EQ(sample(text, QLatin1String(e.series)), e.value) << e.series << "\n"
                                                                  << text.constData();
    // Every series is introduced by its type, as a scraper requires.
    for (const char *name :
         {"kavvix_dives_stored_total counter", "kavvix_journal_backlog gauge",
          "kavvix_http_requests_total counter", "kavvix_announce_latency_seconds histogram"})
        EXPECT_TRUE(text.contains(QByteArray("# TYPE ") + name)) << name;
    EXPECT_TRUE(text.endsWith('\n'));
}

// Buckets count every observation at or under their bound, so they only grow upwards; +Inf
// and _count hold them all.
TEST(ServiceMetrics, LatencyHistogramIsCumulative) {
    ServiceMetrics metrics;
    for (double seconds : {0.0004, 0.001, 0.003, 0.04, 0.04, 2.5})
        metrics.observeAnnounceLatency(seconds);
    const QByteArray text = metrics.text({});
    const struct {
        const char *le;
        double count;
    } buckets[] = {{"0.001", 2}, {"0.0025", 2}, {"0.005", 3}, {"0.025", 3},
                   {"0.05", 5},  {"1", 5},      {"+Inf", 6}};
    for (const auto &b : buckets)
        EXPECT_EQ(sample(text, QStringLiteral("kavvix_announce_latency_seconds_bucket{le=\"%1\"}")
                                   .arg(QLatin1String(b.le))),
                  b.count)
            << b.le;
    EXPECT_EQ(sample(text, QStringLiteral("kavvix_announce_latency_seconds_count")), 6);
    EXPECT_NEAR(sample(text, QStringLiteral("kavvix_announce_latency_seconds_sum")), 2.5844, 1e-9);
}
