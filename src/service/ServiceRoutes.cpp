#include "ServiceRoutes.h"

#include <QStringList>

#include <array>
#include <utility>

namespace Kavvix::ServiceRoutes {

namespace {

constexpr std::array<std::pair<ServiceRoute, const char *>, std::size_t(ServiceRoute::Last) + 1>
    Labels = {{
        {ServiceRoute::Board, "/"},
        {ServiceRoute::Overlay, "/overlay"},
        {ServiceRoute::Operator, "/operator"},
        {ServiceRoute::ResultsPage, "/results"},
        {ServiceRoute::MeetPage, "/meet"},
        {ServiceRoute::PageFile, "/pages/{file}"},
        {ServiceRoute::QrCode, "/qr.svg"},
        {ServiceRoute::Live, "/live"},
        {ServiceRoute::Health, "/healthz"},
        {ServiceRoute::Metrics, "/metrics"},
        {ServiceRoute::Meet, "/api/meet"},
        {ServiceRoute::EventResults, "/api/events/{event}/results"},
        {ServiceRoute::EventResultsCsv, "/api/events/{event}/results.csv"},
        {ServiceRoute::EventSummary, "/api/events/{event}/summary"},
        {ServiceRoute::EventStandings, "/api/events/{event}/standings"},
        {ServiceRoute::EventNext, "/api/events/{event}/next"},
        {ServiceRoute::EventUpload, "/api/events/{event}/upload"},
        {ServiceRoute::ConnectionTest, "/api/connection-test"},
        {ServiceRoute::JobCancel, "/api/job/cancel"},
        {ServiceRoute::CurrentEvent, "/api/current-event"},
        {ServiceRoute::OverlayShow, "/api/overlay"},
        {ServiceRoute::Divers, "/api/divers"},
    }};

// Every route has its label, in the order of the routes.
constexpr bool everyRouteLabelled() {
    for (std::size_t i = 0; i < Labels.size(); ++i)
        if (Labels[i].first != ServiceRoute(i) || Labels[i].second == nullptr)
            return false;
    return true;
}
static_assert(everyRouteLabelled());

bool isPlaceholder(QStringView segment) {
    return segment.startsWith(u'{') && segment.endsWith(u'}');
}

bool serves(ServiceRoute route, const QStringList &pathSegments) {
    const QStringList segments = label(route).split(u'/');
    if (segments.size() != pathSegments.size())
        return false;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const bool matches = isPlaceholder(segments[i]) ? !pathSegments[i].isEmpty()
                                                        : segments[i] == pathSegments[i];
        if (!matches)
            return false;
    }
    return true;
}

} // namespace

QString label(ServiceRoute route) {
    return QLatin1String(Labels[std::size_t(route)].second);
}

QString pattern(ServiceRoute route) {
    QStringList segments = label(route).split(u'/');
    for (QString &segment : segments)
        if (isPlaceholder(segment))
            segment = QStringLiteral("<arg>");
    return segments.join(u'/');
}

QString labelOf(const QString &path) {
    const QStringList pathSegments = path.split(u'/');
    for (int r = 0; r <= int(ServiceRoute::Last); ++r)
        if (serves(ServiceRoute(r), pathSegments))
            return label(ServiceRoute(r));
    return QStringLiteral("other");
}

} // namespace Kavvix::ServiceRoutes
