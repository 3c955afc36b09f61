#include "ApiServer.h"

#include "ConsoleLink.h"
#include "DiveKeeper.h"
#include "EventReader.h"
#include "EventSummary.h"
#include "HealthCheck.h"
#include "JobLauncher.h"
#include "JudgePanel.h"
#include "MeetContext.h"
#include "PageFiles.h"
#include "QrCode.h"
#include "ResultsCsv.h"
#include "ServiceMetrics.h"

#include <kavvix/UploadJob.h>

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace Kavvix {

namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

const QString NoLine =
    QStringLiteral("the service runs without a console line (kavvix serve --no-console)");
const QString Mirror =
    QStringLiteral("this service is a mirror (kavvix serve --mirror): it changes nothing; send "
                   "uploads, tests and changes to the service of the console");

QHttpServerResponse error(Status status, const QString &text) {
    return QHttpServerResponse(QJsonObject{{"error", text}}, status);
}

// The request's body as a JSON object; an empty body is an empty object.
std::optional<QJsonObject> bodyObject(const QHttpServerRequest &request, QString &problem) {
    if (request.body().trimmed().isEmpty())
        return QJsonObject{};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        problem = QStringLiteral("the body is not valid JSON: %1").arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        problem = QStringLiteral("the body must be a JSON object");
        return std::nullopt;
    }
    return document.object();
}

QString methodName(Method method) {
    switch (method) {
    case Method::Get:
        return QStringLiteral("GET");
    case Method::Post:
        return QStringLiteral("POST");
    case Method::Put:
        return QStringLiteral("PUT");
    case Method::Delete:
        return QStringLiteral("DELETE");
    case Method::Head:
        return QStringLiteral("HEAD");
    default:
        return QStringLiteral("OTHER");
    }
}

// A request header by name, whatever its case.
QByteArray header(const QHttpServerRequest &request, const QByteArray &name) {
    for (const auto &[key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

} // namespace

ApiServer::ApiServer(Parts parts, QObject *parent)
    : QObject(parent), m_meet(parts.meet), m_worker(parts.worker), m_figures(parts.figures),
      m_link(parts.link), m_jobs(parts.jobs), m_keeper(parts.keeper), m_health(parts.health),
      m_metrics(parts.metrics), m_journalBacklog(std::move(parts.journalBacklog)),
      m_feedClients(std::move(parts.feedClients)) {
    connect(&m_worker, &DatabaseWorker::answered, this,
            [this](quint64 id, const DatabaseWorker::Answer &work) { answer(id, work()); });
    addRoutes();
    addPageRoutes();
}

ApiServer::Asked ApiServer::asked(const QHttpServerRequest &request) {
    return {request.remoteAddress().toString(), methodName(request.method()), request.url().path()};
}

void ApiServer::respond(const QHttpServerRequest &request, Responder &&responder,
                        Response &&response) {
    const int status = int(response.statusCode());
    response.write(std::move(responder));
    served(asked(request), status);
}

void ApiServer::later(const QHttpServerRequest &request, Responder &&responder,
                      const DatabaseWorker::Work &work) {
    const quint64 id = ++m_lastLater;
    QPointer<QTcpSocket> socket = responder.socket();
    m_later.insert(id, {std::make_shared<Responder>(std::move(responder)), socket, asked(request)});
    const QDeadlineTimer deadline(ReadDeadlineMs);
    QMetaObject::invokeMethod(
        &m_worker, [worker = &m_worker, id, deadline, work] { worker->run(id, deadline, work); });
    QTimer::singleShot(ReadDeadlineMs, this, [this, id] {
        answer(id, error(Status::ServiceUnavailable,
                         QStringLiteral("the database did not answer within a second")));
    });
}

void ApiServer::answer(quint64 id, Response &&response) {
    const auto found = m_later.find(id);
    if (found == m_later.end())
        return; // answered already
    const Later waiting = *found;
    m_later.erase(found);
    // A client that has gone meanwhile gets nothing.
    if (waiting.socket)
        response.write(std::move(*waiting.responder));
    served(waiting.asked, int(response.statusCode()));
}

void ApiServer::withEvent(const QString &eventId, const QHttpServerRequest &request,
                          Responder &&responder, std::function<Response()> known, Lookup lookup) {
    if (lookup == Lookup::Held && m_meet.knowsEvent(eventId)) {
        respond(request, std::move(responder), known());
        return;
    }
    const QString meetId = m_meet.meetId();
    later(request, std::move(responder),
          [this, eventId, meetId, known, lookup](DatabaseWorker &worker) {
              const bool answered = lookup == Lookup::Held || worker.meet().refresh();
              const bool found = answered && worker.meet().hasEvent(eventId);
              const MeetContext::Read read = worker.meet().read();
              return DatabaseWorker::Answer([this, answered, found, read, eventId, meetId, known] {
                  if (!answered)
                      return error(Status::ServiceUnavailable,
                                   QStringLiteral("the database cannot be read"));
                  if (!found)
                      return error(
                          Status::NotFound,
                          QStringLiteral("meet %1 has no event '%2'").arg(meetId, eventId));
                  m_meet.adopt(read);
                  return known();
              });
          });
}

quint16 ApiServer::listen(const QHostAddress &address, quint16 port,
                          GuardedTcpServer::Limits limits, QString &problem) {
    // A socket of our own, so a failure is ours to explain in one line.
    limits.maxBodyBytes = MaxBodyBytes;
    auto socket = std::make_unique<GuardedTcpServer>(limits);
    connect(socket.get(), &GuardedTcpServer::logLine, this, &ApiServer::logLine);
    if (!socket->listen(address, port)) {
        problem = socket->errorString();
        return 0;
    }
    const quint16 listening = socket->serverPort();
    m_server.bind(socket.release());
    return listening;
}

std::optional<QHttpServerResponse> ApiServer::refuse(const QHttpServerRequest &request,
                                                     bool changes) const {
    if (request.body().size() > MaxBodyBytes)
        return error(Status::PayloadTooLarge,
                     QStringLiteral("the body is larger than %1 bytes").arg(MaxBodyBytes));
    if (changes && m_mirrorLine)
        return error(Status::Conflict, Mirror);
    if (changes && !m_token.isEmpty() &&
        header(request, "Authorization") != "Bearer " + m_token.toUtf8())
        return error(Status::Unauthorized,
                     QStringLiteral("this request needs the header Authorization: Bearer TOKEN"));
    return std::nullopt;
}

void ApiServer::addRoutes() {
    route(ServiceRoute::Meet, Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(meet());
    });
    route(ServiceRoute::Health, Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(health());
    });
    route(ServiceRoute::Metrics, Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(metrics());
    });
    // What the pages read of an event, each view from one reading of it.
    for (const auto &[where, view] : {std::pair{ServiceRoute::EventResults, View::Results},
                                      std::pair{ServiceRoute::EventResultsCsv, View::Csv},
                                      std::pair{ServiceRoute::EventSummary, View::Summary},
                                      std::pair{ServiceRoute::EventStandings, View::Standings},
                                      std::pair{ServiceRoute::EventNext, View::Next}}) {
        route(where, Method::Get,
              [this, view](const QString &eventId, const QHttpServerRequest &request,
                           Responder &&responder) {
                  if (auto refusal = refuse(request, false))
                      return respond(request, std::move(responder), std::move(*refusal));
                  // Nothing to wait for while the database is known to be away.
                  if (!m_keeper.databaseUp())
                      return respond(request, std::move(responder),
                                     error(Status::ServiceUnavailable,
                                           QStringLiteral("the database is not answering; judged "
                                                          "dives are kept in the journal until it "
                                                          "does")));
                  later(request, std::move(responder), results(eventId, view));
              });
    }
    route(ServiceRoute::EventUpload, Method::Post,
          [this](const QString &eventId, const QHttpServerRequest &request, Responder &&responder) {
              if (auto refusal = refuse(request, true))
                  return respond(request, std::move(responder), std::move(*refusal));
              upload(eventId, request, std::move(responder));
          });
    route(ServiceRoute::ConnectionTest, Method::Post, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return connectionTest(request);
    });
    route(ServiceRoute::JobCancel, Method::Post, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return cancelJob();
    });
    route(ServiceRoute::CurrentEvent, Method::Put,
          [this](const QHttpServerRequest &request, Responder &&responder) {
              if (auto refusal = refuse(request, true))
                  return respond(request, std::move(responder), std::move(*refusal));
              setCurrentEvent(request, std::move(responder));
          });
    route(ServiceRoute::OverlayShow, Method::Put, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return setOverlay(request);
    });
    route(ServiceRoute::Divers, Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(divers());
    });
    route(ServiceRoute::QrCode, Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(qrCode(request));
    });
    // An upgrade is handed to the WebSocket server only when a route takes the path and
    // writes nothing; the feed then gets the connection.
    route(ServiceRoute::Live, [this](const QHttpServerRequest &request,
                                     QHttpServerResponder &&responder) {
        if (header(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
            return;
        responder.write(
            QJsonDocument(QJsonObject{{"error", QStringLiteral("/live is a WebSocket feed")}}),
            Status::BadRequest);
        served(asked(request), int(Status::BadRequest));
    });
    m_server.afterRequest(
        [this](QHttpServerResponse &&response, const QHttpServerRequest &request) {
            served(asked(request), int(response.statusCode()));
            return std::move(response);
        });
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QString text = QStringLiteral("no such resource: %1 %2")
                                     .arg(methodName(request.method()), request.url().path());
            responder.write(QJsonDocument(QJsonObject{{"error", text}}), Status::NotFound);
            served(asked(request), int(Status::NotFound));
        });
}

void ApiServer::addPageRoutes() {
    for (const auto &[page, file] : {std::pair{ServiceRoute::Board, "board.html"},
                                     std::pair{ServiceRoute::Overlay, "overlay.html"},
                                     std::pair{ServiceRoute::Operator, "operator.html"},
                                     std::pair{ServiceRoute::ResultsPage, "results.html"},
                                     std::pair{ServiceRoute::MeetPage, "meet.html"}}) {
        const QString name = QLatin1String(file);
        route(page, Method::Get, [this, name](const QHttpServerRequest &request) {
            return refuse(request, false).value_or(PageFiles::file(name));
        });
    }
    route(ServiceRoute::PageFile, Method::Get,
          [this](const QString &name, const QHttpServerRequest &request) {
              return refuse(request, false).value_or(PageFiles::file(name));
          });
}

void ApiServer::served(const Asked &asked, int status) {
    m_metrics.countRequest(asked.path, status);
    emit logLine(
        QStringLiteral("%1 %2 %3 %4").arg(asked.address, asked.method, asked.path).arg(status));
}

QHttpServerResponse ApiServer::health() const {
    const HealthCheck::Report report = m_health.check();
    return QHttpServerResponse(report.body,
                               report.healthy ? Status::Ok : Status::ServiceUnavailable);
}

QHttpServerResponse ApiServer::metrics() const {
    const ServiceMetrics::Gauges gauges{m_journalBacklog(), m_feedClients()};
    // The version of the text format Prometheus expects from a scrape.
    return QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8", m_metrics.text(gauges));
}

QHttpServerResponse ApiServer::meet() const {
    // Each event with where it stands: planned dives from the dive sheets, judged ones stored,
    // as the database thread last read them.
    const QHash<QString, int> &planned = m_meet.read().planned;
    QJsonArray events;
    for (const QJsonValue &value : m_meet.events()) {
        QJsonObject event = value.toObject();
        const QString eventId = event[QLatin1String("eventId")].toString();
        const ResultsTable::EventCount count = m_figures.counts.value(eventId);
        event.insert(QStringLiteral("divesJudged"), count.dives);
        event.insert(QStringLiteral("divesPlanned"), planned.value(eventId));
        event.insert(QStringLiteral("round"), count.lastRound);
        event.insert(QStringLiteral("state"), eventState(count.dives, planned.value(eventId)));
        events.append(event);
    }
    // The consoles as the database thread last read them (or, on a mirror, as they last said).
    const QJsonArray consoles = m_consoleList ? m_consoleList() : QJsonArray();
    return QJsonObject{{"meetId", m_meet.meetId()},
                       {"meetName", m_meet.meetName()},
                       {"currentEvent", m_meet.currentEvent().isEmpty()
                                            ? QJsonValue()
                                            : QJsonValue(m_meet.currentEvent())},
                       {"console", line(consoles)},
                       {"consoles", consoles},
                       {"overlay", m_overlayShow},
                       {"events", events}};
}

// The service's own line, or on a mirror the consoles' line.
QJsonObject ApiServer::line(const QJsonArray &consoles) const {
    if (m_mirrorLine) {
        QJsonObject line = m_mirrorLine(consoles);
        line.insert(QStringLiteral("port"), QJsonValue());
        line.insert(QStringLiteral("name"), QJsonValue());
        line.insert(QStringLiteral("rejectedFrames"), 0);
        return line;
    }
    const QJsonValue version = m_link.version().isEmpty() ? QJsonValue() : m_link.version();
    return QJsonObject{
        {"port", m_jobs.lineAvailable() ? QJsonValue(m_link.portNumber()) : QJsonValue()},
        {"name", m_jobs.lineAvailable() ? QJsonValue(m_lineName) : QJsonValue()},
        {"open", m_link.isOpen()},
        {"since", m_link.since().toString(Qt::ISODateWithMs)},
        {"answering", m_link.answering()},
        {"version", version},
        {"versionCurrent", m_link.versionCurrent()},
        {"rejectedFrames", m_link.rejectedFrames()}};
}

QHttpServerResponse ApiServer::eventView(const EventReader::Event &event, const QString &eventId,
                                         const QString &meetId, View view) {
    switch (view) {
    case View::Results: {
        QJsonArray list;
        for (const DiveRecord &dive : event.dives) {
            QJsonObject object = dive.toJson();
            DiverNames::annotate(object, event.names);
            JudgePanel::annotate(object, event.panel);
            list.append(object);
        }
        return list;
    }
    case View::Standings:
        return event.summary.standings;
    case View::Next:
        return QJsonObject{{"eventId", eventId}, {"next", event.summary.next}};
    case View::Summary:
        return event.summary.toJson(eventId);
    case View::Csv:
        break;
    }
    QHttpServerResponse response(ResultsCsv::ContentType,
                                 ResultsCsv::write(event.dives, event.names, event.panel));
    response.setHeader("Content-Disposition", "attachment; filename=\"" +
                                                  QUrl::toPercentEncoding(meetId + u'-' + eventId) +
                                                  ".csv\"");
    return response;
}

QHttpServerResponse ApiServer::divers() const {
    QJsonArray list;
    for (const QJsonValue &entry : m_meet.read().entries) {
        QJsonObject object = entry.toObject();
        DiverNames::annotate(object, m_figures.names);
        list.append(object);
    }
    return list;
}

DatabaseWorker::Work ApiServer::results(const QString &eventId, View view) const {
    const QString meetId = m_meet.meetId();
    return [eventId, view, meetId](DatabaseWorker &worker) -> DatabaseWorker::Answer {
        const auto event = worker.reader().read(eventId);
        if (!event) {
            const QString problem = worker.reader().lastError();
            return [problem] {
                return error(Status::ServiceUnavailable,
                             QStringLiteral("the database cannot be read: %1").arg(problem));
            };
        }
        const bool known = !event->dives.isEmpty() || worker.meet().hasEvent(eventId);
        return [event = *event, known, eventId, view, meetId]() -> Response {
            if (!known)
                return error(Status::NotFound,
                             QStringLiteral("meet %1 has no event '%2'").arg(meetId, eventId));
            return eventView(event, eventId, meetId, view);
        };
    };
}

// The phone page's address as the asking screen reaches the service.
QHttpServerResponse ApiServer::qrCode(const QHttpServerRequest &request) const {
    const QByteArray host = header(request, "Host");
    // A host name or address with a port; anything else is not drawn.
    static const QRegularExpression plainHost(QStringLiteral("^[A-Za-z0-9.:\\[\\]-]{1,255}$"));
    if (!plainHost.match(QString::fromLatin1(host)).hasMatch())
        return error(Status::BadRequest, QStringLiteral("the request names no usable host"));
    QHttpServerResponse response(
        "image/svg+xml", QrCode::svg(QStringLiteral("http://%1/meet").arg(phoneHost(host))));
    response.setHeader("Content-Security-Policy", PageFiles::ContentSecurityPolicy);
    response.setHeader("Cache-Control", "no-cache");
    return response;
}

// A screen by the pool often asks as localhost, which no phone can reach: while the service
// listens on every address, the phones get the machine's first network address instead.
QString ApiServer::phoneHost(const QByteArray &host) const {
    const QUrl asked(QStringLiteral("http://") + QString::fromLatin1(host));
    const QHostAddress address(asked.host());
    const bool loopback = asked.host() == QLatin1String("localhost") || address.isLoopback();
    bool everywhere = false;
    for (const QTcpServer *server : m_server.servers())
        everywhere = everywhere || server->serverAddress() == QHostAddress::Any ||
                     server->serverAddress() == QHostAddress::AnyIPv4;
    if (!loopback || !everywhere)
        return QString::fromLatin1(host);
    for (const QHostAddress &candidate : QNetworkInterface::allAddresses())
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol && !candidate.isLoopback())
            return asked.port() > 0
                       ? QStringLiteral("%1:%2").arg(candidate.toString()).arg(asked.port())
                       : candidate.toString();
    return QString::fromLatin1(host);
}

QHttpServerResponse ApiServer::setOverlay(const QHttpServerRequest &request) {
    QString problem;
    const auto body = bodyObject(request, problem);
    if (!body)
        return error(Status::BadRequest, problem);
    const QJsonValue show = body->value(QLatin1String("show"));
    if (!show.isString() || !OverlayGraphics.contains(show.toString()))
        return error(Status::BadRequest, QStringLiteral("\"show\" must be one of %1")
                                             .arg(OverlayGraphics.join(QStringLiteral(", "))));
    m_overlayShow = show.toString();
    emit overlayChanged(m_overlayShow);
    return QJsonObject{{"show", m_overlayShow}};
}

void ApiServer::upload(const QString &eventId, const QHttpServerRequest &request,
                       Responder &&responder) {
    QString problem;
    const auto body = bodyObject(request, problem);
    const QJsonValue order = body ? body->value(QLatin1String("order")) : QJsonValue();
    const QString command = UploadJob::diveOrderCommand(order.toString(QStringLiteral("A")));
    if (!body)
        return respond(request, std::move(responder), error(Status::BadRequest, problem));
    if (!order.isUndefined() && !order.isString())
        return respond(
            request, std::move(responder),
            error(Status::BadRequest, QStringLiteral("\"order\" must be a text: A, B, C or D")));
    if (command.isEmpty())
        return respond(request, std::move(responder),
                       error(Status::BadRequest, QStringLiteral("\"order\" must be A, B, C or D")));
    // The upload reads the dive sheets on this thread as it starts: only right after the
    // database answered on its own thread, so that a frozen database holds up this request
    // (503 within a second) rather than the line, the feed and every other client.
    if (!m_keeper.databaseUp())
        return respond(request, std::move(responder),
                       error(Status::ServiceUnavailable,
                             QStringLiteral("the database is not answering; an upload needs the "
                                            "event's dive sheets")));
    withEvent(
        eventId, request, std::move(responder),
        [this, eventId, command]() -> Response {
            if (!m_jobs.lineAvailable())
                return error(Status::Conflict, NoLine);
            if (!m_jobs.startUpload(eventId, command))
                return error(Status::Conflict,
                             QStringLiteral("an upload or connection test is running"));
            return QHttpServerResponse(QJsonObject{{"job", "upload"}, {"eventId", eventId}},
                                       Status::Accepted);
        },
        Lookup::Fresh);
}

QHttpServerResponse ApiServer::connectionTest(const QHttpServerRequest &request) {
    QString problem;
    if (!bodyObject(request, problem))
        return error(Status::BadRequest, problem);
    if (!m_jobs.lineAvailable())
        return error(Status::Conflict, NoLine);
    if (!m_jobs.startConnectionTest())
        return error(Status::Conflict, QStringLiteral("an upload or connection test is running"));
    return QHttpServerResponse(QJsonObject{{"job", "test"}}, Status::Accepted);
}

QHttpServerResponse ApiServer::cancelJob() {
    const QString job = m_jobs.running();
    if (!m_jobs.cancel())
        return error(Status::Conflict, QStringLiteral("no upload or connection test is running"));
    return QJsonObject{{"job", job}, {"result", JobResult::name(JobResult::Kind::Aborted)}};
}

void ApiServer::setCurrentEvent(const QHttpServerRequest &request, Responder &&responder) {
    QString problem;
    const auto body = bodyObject(request, problem);
    if (!body)
        return respond(request, std::move(responder), error(Status::BadRequest, problem));
    const QJsonValue value = body->value(QLatin1String("eventId"));
    if (!value.isString())
        return respond(request, std::move(responder),
                       error(Status::BadRequest, QStringLiteral("\"eventId\" must be a text")));
    const QString eventId = value.toString();
    withEvent(eventId, request, std::move(responder), [this, eventId]() -> Response {
        m_meet.setCurrentEvent(eventId);
        emit currentEventChanged(eventId);
        return QJsonObject{{"currentEvent", eventId}};
    });
}

} // namespace Kavvix
