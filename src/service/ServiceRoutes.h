#pragma once

#include <QString>

namespace Kavvix {

// Every route the service serves. Each is written once, as the label its requests are counted
// under in the metrics: "{name}" stands for one non-empty path segment (an event id, a page
// file), so an id never makes a series of its own. The HTTP server's patterns are made from the
// same labels, so a route added there is one the metrics know.
enum class ServiceRoute {
    Board,
    Overlay,
    Operator,
    ResultsPage,
    MeetPage,
    PageFile,
    QrCode,
    Live,
    Health,
    Metrics,
    Meet,
    EventResults,
    EventResultsCsv,
    EventSummary,
    EventStandings,
    EventNext,
    EventUpload,
    ConnectionTest,
    JobCancel,
    CurrentEvent,
    OverlayShow,
    Divers,
    Last = Divers
};

namespace ServiceRoutes {

QString label(ServiceRoute route);
// The route as the HTTP server takes it: each "{name}" as "<arg>".
QString pattern(ServiceRoute route);
// The label of the route that serves the path, "other" when none does.
QString labelOf(const QString &path);

} // namespace ServiceRoutes

} // namespace Kavvix
