#pragma once

#include <QTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QWebSocket>

#include "SentDive.h"
#include "TestMeetDb.h"

#include <memory>

namespace KavvixTest {

using Kavvix::ConsoleSimulator;

struct HttpReply {
    int status = 0;
    QByteArray raw;
    QJsonDocument body;
    QJsonObject object() const { return body.object(); }
    QJsonArray array() const { return body.array(); }
};

// "kavvix serve" running as a child process on port 0; talks to it over HTTP.
class ServiceProcess {
public:
    // Starts it and waits until it serves; started() is false when it did not. openFiles
    // other than 0 sets its limit of open files (soft and hard) before it starts.
    explicit ServiceProcess(const QStringList &arguments, int openFiles = 0);
    ~ServiceProcess();

    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process->processId(); }
    // What it wrote to standard error so far.
    QString log();
    bool waitForLog(const QString &text);
    int stop(); // SIGTERM; the exit code (-1 when it crashed or hung)

    HttpReply request(const QByteArray &verb, const QString &path, const QByteArray &body = {},
                      const QByteArray &token = {});

private:
    std::unique_ptr<QProcess> m_process;
    QString m_log;
    quint16 m_port = 0;
    QNetworkAccessManager m_network;
};

// A /live client that keeps every message.
class FeedClient {
public:
    explicit FeedClient(quint16 port);
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Messages of the type received so far, waiting up to the deadline for count of them.
    QList<QJsonObject> waitFor(const QString &type, int count, int timeoutMs = 15000);

private:
    QWebSocket m_socket;
    QList<QJsonObject> m_messages;
};

} // namespace KavvixTest
