#include "ConsoleRegistry.h"

#include "PreparedStatements.h"
#include "upload/ServerWatchdog.h"
#include "upload/dialect/SqlDialect.h"

#include <kavvix/Error.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace Kavvix {

namespace {

const QString TableName = QStringLiteral("kavvix_consoles");

// A console's state as the row keeps it: the JSON member, its column, and whether it is a
// yes/no (kept as 0 or 1 alike on every engine) rather than a text.
struct Column {
    const char *key;
    const char *column;
    bool flag;
};
constexpr Column Columns[] = {
    {"currentEvent", "current_event", false},
    {"line", "line_name", false},
    {"open", "line_open", true},
    {"since", "line_since", false},
    {"answering", "answering", true},
    {"version", "version", false},
    {"versionCurrent", "version_current", true},
    {"startedAt", "started_at", false},
    {"heartbeat", "heartbeat_at", false},
};

QString now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QStringList columnNames() {
    QStringList names = {"meet_id", "name"};
    for (const Column &column : Columns)
        names << QLatin1String(column.column);
    return names;
}

QString upsertStatement() {
    const QStringList names = columnNames();
    QStringList updates;
    for (const Column &column : Columns)
        updates << QStringLiteral("%1 = excluded.%1").arg(QLatin1String(column.column));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (meet_id, name) DO UPDATE "
                          "SET %4")
        .arg(TableName, names.join(QStringLiteral(", ")),
             QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")),
             updates.join(QStringLiteral(", ")));
}

// The payload of a feed message, under the size a notification carries: a job's validation
// problems are what can make it too long, and the outcome's detail says the first of them.
QByteArray feedPayload(const QString &meetId, QJsonObject message) {
    QByteArray payload;
    for (int attempt = 0; attempt < 2; ++attempt) {
        payload = QJsonDocument(QJsonObject{{"meetId", meetId}, {"message", message}})
                      .toJson(QJsonDocument::Compact);
        if (payload.size() <= SqlDialect::MaxNotificationBytes)
            return payload;
        message.remove(QStringLiteral("validation"));
    }
    return {};
}

} // namespace

class ConsoleRegistry::Worker {
public:
    Worker(ConnectionThread &thread, QString database, QString meetId, QString name)
        : m_thread(thread), m_db(thread.db()), m_database(std::move(database)),
          m_meetId(std::move(meetId)), m_name(std::move(name)) {}

    QString start(const QJsonObject &state) {
        m_state = state;
        m_state.insert(QStringLiteral("startedAt"), now());
        try {
            m_thread.open(m_database);
        } catch (const Error &e) {
            return e.description();
        }
        // The host and the service write the same SQLite file: wait a little for their locks.
        const QString wait = SqlDialect::lockWaitOptions(m_db, 1000);
        if (!wait.isEmpty()) {
            m_db.close();
            m_db.setConnectOptions(wait);
            m_db.open();
        }
        m_statements = std::make_unique<PreparedStatements>(m_db);
        m_thread.every(HeartbeatMs, [this] { write(); });
        return write() ? QString() : m_problem;
    }

    void update(const QJsonObject &changes) {
        for (auto it = changes.begin(); it != changes.end(); ++it)
            m_state.insert(it.key(), it.value());
        write();
    }

    void publish(QJsonObject message) {
        const QString notify = SqlDialect::notifyStatement(m_db);
        if (notify.isEmpty() || !m_statements || !reconnect())
            return;
        message.insert(QStringLiteral("consoleName"), m_name);
        const QByteArray payload = feedPayload(m_meetId, message);
        if (payload.isEmpty())
            return;
        run(notify, {FeedChannel, QString::fromUtf8(payload)});
    }

    void stop() { m_statements.reset(); }

private:
    bool ensureTable() {
        if (m_db.tables().contains(TableName, Qt::CaseInsensitive))
            return true;
        QStringList columns = {"meet_id VARCHAR(20) NOT NULL", "name VARCHAR(64) NOT NULL"};
        for (const Column &column : Columns)
            columns << QLatin1String(column.column) + (column.flag
                                                           ? QStringLiteral(" INTEGER")
                                                           : QStringLiteral(" VARCHAR(256)"));
        columns << QStringLiteral("PRIMARY KEY (meet_id, name)");
        QSqlQuery query(m_db);
        if (!query.exec(SqlDialect::createTableIfMissing(m_db, TableName, columns))) {
            m_problem = QStringLiteral("cannot create %1: %2")
                            .arg(TableName, query.lastError().text().simplified());
            return false;
        }
        return true;
    }

    bool write() {
        if (!m_statements || !reconnect())
            return false;
        m_hasTable = m_hasTable || ensureTable();
        if (!m_hasTable)
            return false;
        m_state.insert(QStringLiteral("heartbeat"), now());
        QVariantList values = {m_meetId, m_name};
        for (const Column &column : Columns) {
            const QJsonValue value = m_state.value(QLatin1String(column.key));
            if (column.flag)
                values << int(value.toBool());
            else
                values << (value.isString() ? QVariant(value.toString())
                                            : QVariant(QMetaType::fromType<QString>()));
        }
        return run(upsertStatement(), values);
    }

    // After a server restart the old connection fails its first statement: that statement is
    // tried once more on a fresh connection, so the message it carried is not lost.
    bool run(const QString &sql, const QVariantList &values) {
        return runOnce(sql, values) || (m_broken && reconnect() && runOnce(sql, values));
    }

    // A statement that failed on a server connection leaves it for a fresh one.
    bool runOnce(const QString &sql, const QVariantList &values) {
        const ServerWatchdog watchdog(m_db);
        QSqlQuery *query = m_statements->bind(sql, values);
        if (query && query->exec()) {
            query->finish();
            return true;
        }
        m_problem = query ? query->lastError().text().simplified() : m_statements->lastError();
        if (query)
            query->finish();
        if (SqlDialect::engineOf(m_db) == SqlDialect::Engine::PostgreSQL)
            m_broken = true;
        return false;
    }

    bool reconnect() {
        if (!m_broken)
            return true;
        m_statements->forget();
        m_db.close();
        m_broken = !m_db.open();
        return !m_broken;
    }

    ConnectionThread &m_thread;
    QSqlDatabase &m_db;
    const QString m_database;
    const QString m_meetId;
    const QString m_name;
    std::unique_ptr<PreparedStatements> m_statements;
    QJsonObject m_state;
    QString m_problem;
    bool m_broken = false;
    bool m_hasTable = false;
};

ConsoleRegistry::ConsoleRegistry(const QString &database, const QString &meetId,
                                 const QString &name)
    : m_thread(QStringLiteral("kavvix-consoles")) {
    m_worker = std::make_unique<Worker>(m_thread, database, meetId, name);
    m_thread.finishWith([this] { m_worker->stop(); });
}

ConsoleRegistry::~ConsoleRegistry() = default;

bool ConsoleRegistry::start(const QJsonObject &state, QString &problem) {
    problem = m_thread.call([this, state] { return m_worker->start(state); });
    return problem.isEmpty();
}

void ConsoleRegistry::update(const QJsonObject &changes) {
    m_thread.post([this, changes] { m_worker->update(changes); });
}

void ConsoleRegistry::publish(const QJsonObject &message) {
    m_thread.post([this, message] { m_worker->publish(message); });
}

QJsonArray ConsoleRegistry::list(PreparedStatements &statements, const QString &meetId) {
    QSqlQuery *query =
        statements.bind(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ? ORDER BY name")
                            .arg(columnNames().join(QStringLiteral(", ")), TableName),
                        {meetId});
    QJsonArray consoles;
    if (!query || !query->exec())
        return consoles;
    const QDateTime current = QDateTime::currentDateTimeUtc();
    while (query->next()) {
        QJsonObject console{{"name", query->value(1).toString()}};
        int index = 2;
        for (const Column &column : Columns) {
            const QVariant value = query->value(index++);
            console.insert(QLatin1String(column.key), column.flag ? QJsonValue(value.toInt() != 0)
                                                      : value.isNull()
                                                          ? QJsonValue()
                                                          : QJsonValue(value.toString()));
        }
        const QDateTime heartbeat = QDateTime::fromString(
            console.value(QLatin1String("heartbeat")).toString(), Qt::ISODateWithMs);
        console.insert(QStringLiteral("running"),
                       heartbeat.isValid() && heartbeat.msecsTo(current) < 3 * HeartbeatMs);
        consoles.append(console);
    }
    query->finish();
    return consoles;
}

} // namespace Kavvix
