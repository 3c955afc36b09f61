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
#include "ResultsTable.h"
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

QString requestLine(const QHttpServerRequest &request, int status) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(request.remoteAddress().toString(), methodName(request.method()), request.url().path())
        .arg(status);
}

} // namespace

ApiServer::ApiServer(Parts parts, QObject *parent)
    : QObject(parent), m_meet(parts.meet), m_table(parts.table), m_link(parts.link),
      m_jobs(parts.jobs), m_reader(parts.reader), m_keeper(parts.keeper), m_health(parts.health),
      m_metrics(parts.metrics), m_journalBacklog(std::move(parts.journalBacklog)),
      m_feedClients(std::move(parts.feedClients)) {
    addRoutes();
    addPageRoutes();
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
    m_server.route("/api/meet", Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(meet());
    });
    m_server.route("/healthz", Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(health());
    });
    m_server.route("/metrics", Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(metrics());
    });
    // What the pages read of an event, each view from one reading of it.
    for (const auto &[path, view] : {std::pair{"/api/events/<arg>/results", View::Results},
                                     std::pair{"/api/events/<arg>/results.csv", View::Csv},
                                     std::pair{"/api/events/<arg>/summary", View::Summary},
                                     std::pair{"/api/events/<arg>/standings", View::Standings},
                                     std::pair{"/api/events/<arg>/next", View::Next}}) {
        m_server.route(QLatin1String(path), Method::Get,
                       [this, view](const QString &eventId, const QHttpServerRequest &request) {
                           if (auto refusal = refuse(request, false))
                               return std::move(*refusal);
                           return results(eventId, view);
                       });
    }
    m_server.route("/api/events/<arg>/upload", Method::Post,
                   [this](const QString &eventId, const QHttpServerRequest &request) {
                       if (auto refusal = refuse(request, true))
                           return std::move(*refusal);
                       return upload(eventId, request);
                   });
    m_server.route("/api/connection-test", Method::Post, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return connectionTest(request);
    });
    m_server.route("/api/job/cancel", Method::Post, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return cancelJob();
    });
    m_server.route("/api/current-event", Method::Put, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return setCurrentEvent(request);
    });
    m_server.route("/api/overlay", Method::Put, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, true))
            return std::move(*refusal);
        return setOverlay(request);
    });
    m_server.route("/api/divers", Method::Get, [this](const QHttpServerRequest &request) {
        if (auto refusal = refuse(request, false))
            return std::move(*refusal);
        QJsonArray list;
        const DiverNames::Map &names = m_reader.names();
        for (const QJsonValue &entry : m_meet.entries()) {
            QJsonObject object = entry.toObject();
            DiverNames::annotate(object, names);
            list.append(object);
        }
        return QHttpServerResponse(list);
    });
    m_server.route("/qr.svg", Method::Get, [this](const QHttpServerRequest &request) {
        return refuse(request, false).value_or(qrCode(request));
    });
    // An upgrade is handed to the WebSocket server only when a route takes the path and
    // writes nothing; the feed then gets the connection.
    m_server.route(
        "/live", [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            if (header(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
                return;
            responder.write(
                QJsonDocument(QJsonObject{{"error", QStringLiteral("/live is a WebSocket feed")}}),
                Status::BadRequest);
            served(request, int(Status::BadRequest));
        });
    m_server.afterRequest(
        [this](QHttpServerResponse &&response, const QHttpServerRequest &request) {
            served(request, int(response.statusCode()));
            return std::move(response);
        });
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QString text = QStringLiteral("no such resource: %1 %2")
                                     .arg(methodName(request.method()), request.url().path());
            responder.write(QJsonDocument(QJsonObject{{"error", text}}), Status::NotFound);
            served(request, int(Status::NotFound));
        });
}

void ApiServer::addPageRoutes() {
    for (const auto &[path, file] :
         {std::pair{"/", "board.html"}, std::pair{"/overlay", "overlay.html"},
          std::pair{"/operator", "operator.html"}, std::pair{"/results", "results.html"},
          std::pair{"/meet", "meet.html"}}) {
        const QString name = QLatin1String(file);
        m_server.route(QLatin1String(path), Method::Get,
                       [this, name](const QHttpServerRequest &request) {
                           return refuse(request, false).value_or(PageFiles::file(name));
                       });
    }
    m_server.route("/pages/<arg>", Method::Get,
                   [this](const QString &name, const QHttpServerRequest &request) {
                       return refuse(request, false).value_or(PageFiles::file(name));
                   });
}

void ApiServer::served(const QHttpServerRequest &request, int status) {
    m_metrics.countRequest(request.url().path(), status);
    emit logLine(requestLine(request, status));
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
    const bool databaseUp = m_keeper.databaseUp();
    if (databaseUp)
        m_meet.refreshWhenOld();
    // Each event with where it stands: planned dives from the dive sheets, judged ones stored.
    // While the database is away, the events as last read, without their counts.
    const auto counts = databaseUp ? m_table.eventCounts(m_meet.meetId()) : std::nullopt;
    const QHash<QString, int> planned = databaseUp ? m_meet.plannedDives() : QHash<QString, int>();
    QJsonArray events;
    for (const QJsonValue &value : m_meet.events()) {
        QJsonObject event = value.toObject();
        const QString eventId = event[QLatin1String("eventId")].toString();
        const ResultsTable::EventCount count =
            counts ? counts->value(eventId) : ResultsTable::EventCount{};
        event.insert(QStringLiteral("divesJudged"), count.dives);
        event.insert(QStringLiteral("divesPlanned"), planned.value(eventId));
        event.insert(QStringLiteral("round"), count.lastRound);
        event.insert(QStringLiteral("state"), eventState(count.dives, planned.value(eventId)));
        events.append(event);
    }
    const QJsonArray consoles = databaseUp && m_consoleList ? m_consoleList() : QJsonArray();
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

QHttpServerResponse ApiServer::results(const QString &eventId, View view) {
    // Nothing to wait for while the database is known to be away.
    if (!m_keeper.databaseUp())
        return error(Status::ServiceUnavailable,
                     QStringLiteral("the database is not answering; judged dives are kept in "
                                    "the journal until it does"));
    const auto event = m_reader.read(eventId);
    if (!event)
        return error(Status::ServiceUnavailable,
                     QStringLiteral("the database cannot be read: %1").arg(m_reader.lastError()));
    if (event->dives.isEmpty() && !m_meet.hasEvent(eventId))
        return error(Status::NotFound,
                     QStringLiteral("meet %1 has no event '%2'").arg(m_meet.meetId(), eventId));
    switch (view) {
    case View::Results: {
        QJsonArray list;
        for (const DiveRecord &dive : event->dives) {
            QJsonObject object = dive.toJson();
            DiverNames::annotate(object, event->names);
            JudgePanel::annotate(object, event->panel);
            list.append(object);
        }
        return list;
    }
    case View::Standings:
        return event->summary.standings;
    case View::Next:
        return QJsonObject{{"eventId", eventId}, {"next", event->summary.next}};
    case View::Summary:
        return event->summary.toJson(eventId);
    case View::Csv:
        break;
    }
    QHttpServerResponse response(ResultsCsv::ContentType,
                                 ResultsCsv::write(event->dives, event->names, event->panel));
    response.setHeader("Content-Disposition",
                       "attachment; filename=\"" +
                           QUrl::toPercentEncoding(m_meet.meetId() + u'-' + eventId) + ".csv\"");
    return response;
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

QHttpServerResponse ApiServer::upload(const QString &eventId, const QHttpServerRequest &request) {
    QString problem;
    const auto body = bodyObject(request, problem);
    if (!body)
        return error(Status::BadRequest, problem);
    const QJsonValue order = body->value(QLatin1String("order"));
    if (!order.isUndefined() && !order.isString())
        return error(Status::BadRequest, QStringLiteral("\"order\" must be a text: A, B, C or D"));
    const QString command = UploadJob::diveOrderCommand(order.toString(QStringLiteral("A")));
    if (command.isEmpty())
        return error(Status::BadRequest, QStringLiteral("\"order\" must be A, B, C or D"));
    if (!m_meet.hasEvent(eventId))
        return error(Status::NotFound,
                     QStringLiteral("meet %1 has no event '%2'").arg(m_meet.meetId(), eventId));
    if (!m_jobs.lineAvailable())
        return error(Status::Conflict, NoLine);
    if (!m_jobs.startUpload(eventId, command))
        return error(Status::Conflict, QStringLiteral("an upload or connection test is running"));
    return QHttpServerResponse(QJsonObject{{"job", "upload"}, {"eventId", eventId}},
                               Status::Accepted);
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

QHttpServerResponse ApiServer::setCurrentEvent(const QHttpServerRequest &request) {
    QString problem;
    const auto body = bodyObject(request, problem);
    if (!body)
        return error(Status::BadRequest, problem);
    const QJsonValue eventId = body->value(QLatin1String("eventId"));
    if (!eventId.isString())
        return error(Status::BadRequest, QStringLiteral("\"eventId\" must be a text"));
    if (!m_meet.hasEvent(eventId.toString()))
        return error(
            Status::NotFound,
            QStringLiteral("meet %1 has no event '%2'").arg(m_meet.meetId(), eventId.toString()));
    m_meet.setCurrentEvent(eventId.toString());
    emit currentEventChanged(eventId.toString());
    return QJsonObject{{"currentEvent", eventId.toString()}};
}

} // namespace Kavvix
