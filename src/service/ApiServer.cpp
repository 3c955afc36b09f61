#include "ApiServer.h"

#include "ConsoleLink.h"
#include "DiverNames.h"
#include "HealthCheck.h"
#include "JobLauncher.h"
#include "MeetContext.h"
#include "NextDive.h"
#include "PageFiles.h"
#include "ResultsTable.h"
#include "ServiceMetrics.h"
#include "Standings.h"

#include <kavvix/UploadJob.h>

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QTcpServer>

namespace Kavvix {

namespace {

using Status = QHttpServerResponder::StatusCode;
using Method = QHttpServerRequest::Method;

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
      m_jobs(parts.jobs), m_names(parts.names), m_next(parts.next), m_health(parts.health),
      m_metrics(parts.metrics), m_journalBacklog(std::move(parts.journalBacklog)),
      m_feedClients(std::move(parts.feedClients)) {
    addRoutes();
    addPageRoutes();
}

quint16 ApiServer::listen(const QHostAddress &address, quint16 port, QString &problem) {
    // A socket of our own, so a failure is ours to explain in one line.
    auto socket = std::make_unique<QTcpServer>();
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
    m_server.route("/api/events/<arg>/results", Method::Get,
                   [this](const QString &eventId, const QHttpServerRequest &request) {
                       if (auto refusal = refuse(request, false))
                           return std::move(*refusal);
                       return results(eventId, View::Results);
                   });
    m_server.route("/api/events/<arg>/standings", Method::Get,
                   [this](const QString &eventId, const QHttpServerRequest &request) {
                       if (auto refusal = refuse(request, false))
                           return std::move(*refusal);
                       return results(eventId, View::Standings);
                   });
    m_server.route("/api/events/<arg>/next", Method::Get,
                   [this](const QString &eventId, const QHttpServerRequest &request) {
                       if (auto refusal = refuse(request, false))
                           return std::move(*refusal);
                       return results(eventId, View::Next);
                   });
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
          std::pair{"/operator", "operator.html"}}) {
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
    return QJsonObject{
        {"meetId", m_meet.meetId()},
        {"meetName", m_meet.meetName()},
        {"currentEvent",
         m_meet.currentEvent().isEmpty() ? QJsonValue() : QJsonValue(m_meet.currentEvent())},
        {"console",
         QJsonObject{{"port", m_link.portNumber()},
                     {"open", m_link.isOpen()},
                     {"version", m_link.version().isEmpty() ? QJsonValue() : m_link.version()},
                     {"rejectedFrames", m_link.rejectedFrames()}}},
        {"events", m_meet.events()}};
}

QHttpServerResponse ApiServer::results(const QString &eventId, View view) const {
    const auto dives = m_table.results(m_meet.meetId(), eventId);
    if (!dives)
        return error(Status::ServiceUnavailable,
                     QStringLiteral("the database cannot be read: %1").arg(m_table.lastError()));
    if (dives->isEmpty() && !m_meet.hasEvent(eventId))
        return error(Status::NotFound,
                     QStringLiteral("meet %1 has no event '%2'").arg(m_meet.meetId(), eventId));
    const DiverNames::Map names = m_names.load();
    const auto named = [&names](QJsonObject object) {
        DiverNames::annotate(object, names);
        return object;
    };
    QJsonArray list;
    switch (view) {
    case View::Results:
        for (const DiveRecord &dive : *dives)
            list.append(named(dive.toJson()));
        return list;
    case View::Standings:
        for (const QJsonValue &entry : standings(*dives))
            list.append(named(entry.toObject()));
        return list;
    case View::Next:
        break;
    }
    const auto next = m_next.after(m_meet.meetId(), eventId, *dives);
    if (!next)
        return error(Status::ServiceUnavailable,
                     QStringLiteral("the database cannot be read: %1").arg(m_next.lastError()));
    return QJsonObject{{"eventId", eventId},
                       {"next", next->isObject() ? named(next->toObject()) : QJsonValue()}};
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
    if (!m_jobs.startUpload(eventId, command))
        return error(Status::Conflict, QStringLiteral("an upload or connection test is running"));
    return QHttpServerResponse(QJsonObject{{"job", "upload"}, {"eventId", eventId}},
                               Status::Accepted);
}

QHttpServerResponse ApiServer::connectionTest(const QHttpServerRequest &request) {
    QString problem;
    if (!bodyObject(request, problem))
        return error(Status::BadRequest, problem);
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
