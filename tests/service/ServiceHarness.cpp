#include "ServiceHarness.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <sys/resource.h>

namespace KavvixTest {

ServiceProcess::ServiceProcess(const QStringList &arguments, int openFiles)
    : m_process(std::make_unique<QProcess>()) {
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // The child must not hold the simulator's end of the line open: a hang-up would go unseen.
    m_process->setChildProcessModifier([openFiles] {
        for (int fd = 3; fd < 1024; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (openFiles > 0) {
            const rlimit limit{rlim_t(openFiles), rlim_t(openFiles)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
    m_process->start(QStringLiteral(KAVVIX_CLI_PATH),
                     QStringList{"serve", "--listen", "127.0.0.1:0"} + arguments);
    if (!waitForLog(QStringLiteral("serving meet")))
        return;
    const auto match = QRegularExpression(QStringLiteral("http://[^ ]+:(\\d+)")).match(m_log);
    m_port = quint16(match.captured(1).toUInt());
}

ServiceProcess::~ServiceProcess() {
    m_process->kill();
    m_process->waitForFinished(10000);
}

QString ServiceProcess::log() {
    m_log += QString::fromUtf8(m_process->readAllStandardError());
    return m_log;
}

bool ServiceProcess::waitForLog(const QString &text) {
    (void)QTest::qWaitFor(
        [&] { return log().contains(text) || m_process->state() == QProcess::NotRunning; }, 20000);
    return log().contains(text);
}

int ServiceProcess::stop() {
    m_process->terminate();
    const bool ended =
        QTest::qWaitFor([this] { return m_process->state() == QProcess::NotRunning; }, 10000);
    log();
    return ended && m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

HttpReply ServiceProcess::request(const QByteArray &verb, const QString &path,
                                  const QByteArray &body, const QByteArray &token) {
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token);
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    HttpReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.raw = reply->readAll();
    result.body = QJsonDocument::fromJson(result.raw);
    reply->deleteLater();
    return result;
}

FeedClient::FeedClient(quint16 port) {
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
        m_messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(port)));
    (void)QTest::qWaitFor([this] { return m_socket.state() != QAbstractSocket::ConnectingState; },
                          10000);
}

QList<QJsonObject> FeedClient::waitFor(const QString &type, int count, int timeoutMs) {
    const auto found = [&] {
        QList<QJsonObject> messages;
        for (const QJsonObject &message : m_messages)
            if (message.value(QLatin1String("type")).toString() == type)
                messages.append(message);
        return messages;
    };
    (void)QTest::qWaitFor([&] { return found().size() >= count; }, timeoutMs);
    return found();
}

} // namespace KavvixTest
