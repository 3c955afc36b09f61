#pragma once

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include "DatabaseWorker.h"
#include "EventReader.h"
#include "GuardedTcpServer.h"
#include "ServiceRoutes.h"

#include <QHash>
#include <QPointer>

#include <functional>
#include <memory>

namespace Kavvix {

class ConsoleLink;
class DiveKeeper;
class HealthCheck;
class JobLauncher;
class MeetContext;
class ServiceMetrics;

// The JSON API over HTTP, and the results pages. Reading is open to anyone; the requests that
// change something (POST, PUT) need "Authorization: Bearer TOKEN" when a token is set. Every
// error is a JSON object {"error": "..."} with a fitting status; bodies over MaxBodyBytes are
// refused. Nothing here waits for the database: the meet is answered from what the service
// holds, and what must be read is read on the database thread and answered when it is, or
// with a 503 after ReadDeadlineMs.
class ApiServer : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype MaxBodyBytes = 64 * 1024;
    static constexpr int ReadDeadlineMs = 1000;

    struct Parts {
        MeetContext &meet;
        DatabaseWorker &worker;
        // The events' counts and the divers' names as the database thread last read them.
        const DatabaseWorker::Figures &figures;
        ConsoleLink &link;
        JobLauncher &jobs;
        const DiveKeeper &keeper;
        const HealthCheck &health;
        ServiceMetrics &metrics;
        // The gauges GET /metrics shows beside the counters.
        std::function<qint64()> journalBacklog;
        std::function<qint64()> feedClients;
    };

    // What the broadcast overlays show: one graphic on air, or none.
    static inline const QStringList OverlayGraphics = {"dive", "standings", "next", "none"};

    explicit ApiServer(Parts parts, QObject *parent = nullptr);

    // Requires the token on the requests that change something; empty: none required.
    void setToken(const QString &token) { m_token = token; }
    // How the console's line is named to the operator: the device as given, or "COM n".
    void setLineName(const QString &name) { m_lineName = name; }
    // The port listened on; 0 (and the reason) when the address cannot be used.
    quint16 listen(const QHostAddress &address, quint16 port, GuardedTcpServer::Limits limits,
                   QString &problem);
    QHttpServer &server() { return m_server; }
    const QString &overlayShow() const { return m_overlayShow; }
    // What the consoles' services show (a mirror follows them).
    void setOverlayShow(const QString &show) { m_overlayShow = show; }
    // The meet's consoles for /api/meet, as the meet database lists them.
    void setConsoleList(std::function<QJsonArray()> consoles) {
        m_consoleList = std::move(consoles);
    }
    // A mirror: every request that changes something is refused (409), and the line's state
    // is the consoles' (from their list) rather than a line of its own.
    void setMirror(std::function<QJsonObject(const QJsonArray &)> lineOfConsoles) {
        m_mirrorLine = std::move(lineOfConsoles);
    }

signals:
    void logLine(const QString &text);
    void currentEventChanged(const QString &eventId);
    void overlayChanged(const QString &show);

private:
    using Response = QHttpServerResponse;
    // Serves a route under its one pattern, the one its requests are counted by.
    template <typename... Args> void route(ServiceRoute route, Args &&...args) {
        m_server.route(ServiceRoutes::pattern(route), std::forward<Args>(args)...);
    }
    using Responder = QHttpServerResponder;
    // Who asked for what, for the request's log line once it is answered.
    struct Asked {
        QString address;
        QString method;
        QString path;
    };
    struct Later {
        std::shared_ptr<Responder> responder;
        QPointer<QTcpSocket> socket;
        Asked asked;
    };
    static Asked asked(const QHttpServerRequest &request);
    void respond(const QHttpServerRequest &request, Responder &&responder, Response &&response);
    // Runs work on the database thread and answers with what it returns, or with a 503 once
    // ReadDeadlineMs have passed.
    void later(const QHttpServerRequest &request, Responder &&responder,
               const DatabaseWorker::Work &work);
    void answer(quint64 id, Response &&response);
    // Answers with known() when the meet has the event, looking for it on the database thread
    // when it is not known yet, else with a 404. Fresh: the meet is read on the database thread
    // first in any case, so that known() runs only right after the database answered.
    enum class Lookup { Held, Fresh };
    void withEvent(const QString &eventId, const QHttpServerRequest &request, Responder &&responder,
                   std::function<Response()> known, Lookup lookup = Lookup::Held);
    void addRoutes();
    void addPageRoutes();
    // The refusal of a request that must not go on (too big, not authorised), or nothing.
    std::optional<Response> refuse(const QHttpServerRequest &request, bool changes) const;
    Response meet() const;
    QJsonObject line(const QJsonArray &consoles) const;
    enum class View { Results, Standings, Next, Summary, Csv };
    DatabaseWorker::Work results(const QString &eventId, View view) const;
    static Response eventView(const EventReader::Event &event, const QString &eventId,
                              const QString &meetId, View view);
    Response divers() const;
    Response qrCode(const QHttpServerRequest &request) const;
    QString phoneHost(const QByteArray &host) const;
    Response setOverlay(const QHttpServerRequest &request);
    void upload(const QString &eventId, const QHttpServerRequest &request, Responder &&responder);
    Response connectionTest(const QHttpServerRequest &request);
    Response cancelJob();
    void setCurrentEvent(const QHttpServerRequest &request, Responder &&responder);
    Response health() const;
    Response metrics() const;
    void served(const Asked &asked, int status);

    MeetContext &m_meet;
    DatabaseWorker &m_worker;
    const DatabaseWorker::Figures &m_figures;
    ConsoleLink &m_link;
    JobLauncher &m_jobs;
    const DiveKeeper &m_keeper;
    const HealthCheck &m_health;
    ServiceMetrics &m_metrics;
    std::function<qint64()> m_journalBacklog;
    std::function<qint64()> m_feedClients;
    QString m_token;
    QString m_lineName;
    QString m_overlayShow = QStringLiteral("dive");
    std::function<QJsonArray()> m_consoleList;
    std::function<QJsonObject(const QJsonArray &)> m_mirrorLine;
    QHash<quint64, Later> m_later;
    quint64 m_lastLater = 0;
    QHttpServer m_server;
};

} // namespace Kavvix
