#include "MirrorListener.h"

#include "ConsoleRegistry.h"
#include "ResultsTable.h"
#include "upload/ServerWatchdog.h"

#include <kavvix/Error.h>

#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlError>

#include <memory>

namespace Kavvix {

namespace {

QJsonObject parsed(const QString &payload) {
    return QJsonDocument::fromJson(payload.toUtf8()).object();
}

} // namespace

// Works on the listener's thread; everything it owns is made and dropped there.
class MirrorListener::Worker {
public:
    Worker(MirrorListener &owner, ConnectionThread &thread, QString database, QString meetId)
        : m_owner(owner), m_thread(thread), m_db(thread.db()), m_database(std::move(database)),
          m_meetId(std::move(meetId)) {}

    QString start() {
        try {
            m_thread.open(m_database);
        } catch (const Error &e) {
            return e.description();
        }
        m_table = std::make_unique<ResultsTable>(m_db);
        QObject::connect(
            m_db.driver(), &QSqlDriver::notification, m_thread.context(),
            [this](const QString &channel, QSqlDriver::NotificationSource,
                   const QVariant &payload) { notified(channel, payload.toString()); });
        if (!listen())
            return m_problem;
        const auto last = m_table->lastChange();
        if (!last)
            return m_table->lastError();
        m_handedOn = *last;
        m_thread.every(CheckIntervalMs, [this] { check(); });
        return {};
    }

    void stop() { m_table.reset(); }

private:
    bool listen() {
        for (const QString &channel : {ResultsTable::DiveChannel, ConsoleRegistry::FeedChannel})
            if (!m_db.driver()->subscribeToNotification(channel)) {
                m_problem = m_db.driver()->lastError().text().simplified();
                return false;
            }
        return true;
    }

    void notified(const QString &channel, const QString &payload) {
        const QJsonObject message = parsed(payload);
        if (message.value(QLatin1String("meetId")).toString() != m_meetId)
            return;
        if (channel == ResultsTable::DiveChannel) {
            if (message.value(QLatin1String("change")).toInteger() > m_handedOn)
                catchUp();
        } else if (channel == ConsoleRegistry::FeedChannel) {
            emit m_owner.feedMessage(message.value(QLatin1String("message")).toObject());
        }
    }

    bool catchUp() {
        const auto records = m_table->changesSince(m_meetId, m_handedOn);
        if (!records) {
            lost(m_table->lastError());
            return false;
        }
        if (records->isEmpty())
            return true;
        m_handedOn = records->last().change;
        emit m_owner.divesStored(*records);
        return true;
    }

    // The driver says nothing when its connection breaks: a statement finds out.
    void check() {
        if (!m_up) {
            reconnect();
            return;
        }
        const ServerWatchdog watchdog(m_db);
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("SELECT 1")))
            lost(query.lastError().text());
    }

    void lost(const QString &problem) {
        if (!m_up)
            return;
        m_up = false;
        // Closing also stops the driver watching a socket the server has closed.
        m_table->forgetStatements();
        m_db.close();
        emit m_owner.logLine(QStringLiteral("mirror: database lost: %1; trying again every second")
                                 .arg(problem.simplified()));
        emit m_owner.databaseLost(problem.simplified());
    }

    void reconnect() {
        if (!m_db.open() || !listen()) {
            m_db.close();
            return;
        }
        m_up = true;
        emit m_owner.logLine(QStringLiteral("mirror: database connected again"));
        emit m_owner.databaseBack();
        catchUp();
    }

    MirrorListener &m_owner;
    ConnectionThread &m_thread;
    QSqlDatabase &m_db;
    const QString m_database;
    const QString m_meetId;
    std::unique_ptr<ResultsTable> m_table;
    qint64 m_handedOn = 0;
    bool m_up = true;
    QString m_problem;
};

MirrorListener::MirrorListener(const QString &database, const QString &meetId, QObject *parent)
    : QObject(parent), m_thread(QStringLiteral("kavvix-mirror")) {
    qRegisterMetaType<QList<Kavvix::DiveRecord>>();
    m_worker = std::make_unique<Worker>(*this, m_thread, database, meetId);
    m_thread.finishWith([this] { m_worker->stop(); });
}

MirrorListener::~MirrorListener() = default;

bool MirrorListener::start(QString &problem) {
    problem = m_thread.call([this] { return m_worker->start(); });
    return problem.isEmpty();
}

} // namespace Kavvix
