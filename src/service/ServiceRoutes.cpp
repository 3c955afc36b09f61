#include "ServiceRoutes.h"

#include <QStringList>

namespace Kavvix::ServiceRoutes {

namespace {

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
    switch (route) {
    case ServiceRoute::Board:
        return QStringLiteral("/");
    case ServiceRoute::Overlay:
        return QStringLiteral("/overlay");
    case ServiceRoute::Operator:
        return QStringLiteral("/operator");
    case ServiceRoute::ResultsPage:
        return QStringLiteral("/results");
    case ServiceRoute::MeetPage:
        return QStringLiteral("/meet");
    case ServiceRoute::PageFile:
        return QStringLiteral("/pages/{file}");
    case ServiceRoute::QrCode:
        return QStringLiteral("/qr.svg");
    case ServiceRoute::Live:
        return QStringLiteral("/live");
    case ServiceRoute::Health:
        return QStringLiteral("/healthz");
    case ServiceRoute::Metrics:
        return QStringLiteral("/metrics");
    case ServiceRoute::Meet:
        return QStringLiteral("/api/meet");
    case ServiceRoute::EventResults:
        return QStringLiteral("/api/events/{event}/results");
    case ServiceRoute::EventResultsCsv:
        return QStringLiteral("/api/events/{event}/results.csv");
    case ServiceRoute::EventSummary:
        return QStringLiteral("/api/events/{event}/summary");
    case ServiceRoute::EventStandings:
        return QStringLiteral("/api/events/{event}/standings");
    case ServiceRoute::EventNext:
        return QStringLiteral("/api/events/{event}/next");
    case ServiceRoute::EventUpload:
        return QStringLiteral("/api/events/{event}/upload");
    case ServiceRoute::ConnectionTest:
        return QStringLiteral("/api/connection-test");
    case ServiceRoute::JobCancel:
        return QStringLiteral("/api/job/cancel");
    case ServiceRoute::CurrentEvent:
        return QStringLiteral("/api/current-event");
    case ServiceRoute::OverlayShow:
        return QStringLiteral("/api/overlay");
    case ServiceRoute::Divers:
        return QStringLiteral("/api/divers");
    }
    return {};
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
