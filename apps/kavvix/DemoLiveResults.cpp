#include "DemoLiveResults.h"

#include <kavvix/Error.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/service/LiveService.h>
#include <kavvix/simulator/ConsoleSimulator.h>
#include <kavvix/simulator/SampleMeet.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace KavvixCli {

namespace {

constexpr int DivesInARound = 12;

// One GET on the service, answered on this thread's event loop.
QJsonDocument fetch(const QString &url) {
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QJsonDocument body = QJsonDocument::fromJson(reply->readAll());
    delete reply;
    return body;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

bool DemoLiveResults::run(Kavvix::ConsoleSimulator &simulator, const QString &journalPath) {
    const QString event = Kavvix::SampleMeet::Event12Divers;
    Kavvix::LiveServiceOptions options;
    options.database = m_file;
    options.meetId = Kavvix::SampleMeet::MeetID;
    options.portNumber = m_port;
    options.httpPort = 0;
    options.currentEvent = event;
    options.journalPath = journalPath;
    Kavvix::LiveService service(options);
    try {
        service.start();
    } catch (const Kavvix::Error &e) {
        throw UserError(
            QStringLiteral("the live results service did not start: %1").arg(e.description()));
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(service.httpPort());
    m_console.out << "\nLive results: the service (kavvix serve) now owns COM " << m_port
                  << " and files judged dives under " << event << ". The console judges round 1";
    m_console.out.flush();
    for (int n = 1; n <= DivesInARound; ++n) {
        Kavvix::cDiveResult dive;
        Kavvix::SampleMeet::fillJudgedDive(dive, n);
        simulator.sendDiveResult(dive);
    }
    const QString resultsUrl = QStringLiteral("%1/api/events/%2/results").arg(base, event);
    qsizetype stored = 0;
    for (QDeadlineTimer deadline(30000); stored < DivesInARound && !deadline.hasExpired();
         pause(100))
        stored = fetch(resultsUrl).array().size();
    m_console.out << ": " << stored << " of " << DivesInARound << " dives arrived.\n\n";
    if (stored < DivesInARound) {
        service.stop();
        return false;
    }
    m_console.out << "Where they went:\n"
                  << "  the meet database: table kavvix_dive_results of " << m_file
                  << "\n                     (removed with the demo's temporary folder)\n"
                  << "  the live feed:     ws://127.0.0.1:" << service.httpPort()
                  << "/live, one message per dive as it was stored\n"
                  << "  the API:           " << resultsUrl << "\n\n";
    printStandings(base);
    service.stop();
    m_console.out << "\nAt a meet: kavvix serve --db meet.sqlite --meet " << options.meetId
                  << " --port " << m_port << "\n";
    return true;
}

void DemoLiveResults::printStandings(const QString &baseUrl) {
    const QString url = QStringLiteral("%1/api/events/%2/standings")
                            .arg(baseUrl, QString(Kavvix::SampleMeet::Event12Divers));
    m_console.out << "Standings after round 1 (" << url << "):\n"
                  << "  rank  order  RegID    total\n";
    for (const QJsonValue &value : fetch(url).array()) {
        const QJsonObject row = value.toObject();
        m_console.out << QStringLiteral("  %1  %2  %3  %4\n")
                             .arg(row["rank"].toInt(), 4)
                             .arg(row["DivingOrder"].toInt(), 5)
                             .arg(row["regId"].toVariant().toString(), -7)
                             .arg(row["total"].toDouble(), 5, 'f', 2);
    }
}

} // namespace KavvixCli
