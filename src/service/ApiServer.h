#pragma once

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include "GuardedTcpServer.h"

#include <functional>

namespace Kavvix {

class ConsoleLink;
class DiveKeeper;
class EventReader;
class HealthCheck;
class JobLauncher;
class MeetContext;
class ResultsTable;
class ServiceMetrics;

// The JSON API over HTTP, and the results pages. Reading is open to anyone; the requests that
// change something (POST, PUT) need "Authorization: Bearer TOKEN" when a token is set. Every
// error is a JSON object {"error": "..."} with a fitting status; bodies over MaxBodyBytes are
// refused.
class ApiServer : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype MaxBodyBytes = 64 * 1024;

    struct Parts {
        MeetContext &meet;
        ResultsTable &table;
        ConsoleLink &link;
        JobLauncher &jobs;
        EventReader &reader;
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
    void addRoutes();
    void addPageRoutes();
    // The refusal of a request that must not go on (too big, not authorised), or nothing.
    std::optional<Response> refuse(const QHttpServerRequest &request, bool changes) const;
    Response meet() const;
    QJsonObject line(const QJsonArray &consoles) const;
    enum class View { Results, Standings, Next, Summary, Csv };
    Response results(const QString &eventId, View view);
    Response qrCode(const QHttpServerRequest &request) const;
    QString phoneHost(const QByteArray &host) const;
    Response setOverlay(const QHttpServerRequest &request);
    Response upload(const QString &eventId, const QHttpServerRequest &request);
    Response connectionTest(const QHttpServerRequest &request);
    Response cancelJob();
    Response setCurrentEvent(const QHttpServerRequest &request);
    Response health() const;
    Response metrics() const;
    void served(const QHttpServerRequest &request, int status);

    MeetContext &m_meet;
    ResultsTable &m_table;
    ConsoleLink &m_link;
    JobLauncher &m_jobs;
    EventReader &m_reader;
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
    QHttpServer m_server;
};

} // namespace Kavvix
