#include "ResultsTable.h"

#include "upload/ServerWatchdog.h"
#include "upload/dialect/SqlDialect.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

namespace Kavvix {

namespace {

const QString TableName = QStringLiteral("kavvix_dive_results");
const QString ChangesTable = QStringLiteral("kavvix_changes");
const QString ChangeColumn = QStringLiteral("change_no");

QStringList fieldColumns() {
    QStringList names;
    for (const QMetaProperty &property : diveFieldProperties())
        names << QLatin1String(property.name());
    return names;
}

// The columns every query reads, in this order, ahead of the dive fields.
const QStringList RowColumns = {"meet_id",   "event_id",    "reg_id",      "revision",
                                "raw_frame", "received_ms", "received_at", "change_no"};

QString selectColumns() {
    return (RowColumns + fieldColumns()).join(QStringLiteral(", "));
}

// The dive fields an event's standings, panel and progress are computed from.
const QList<QMetaProperty> &summaryProperties() {
    static const QList<QMetaProperty> properties = [] {
        const QRegularExpression judgeScore(QStringLiteral("^J\\dScore$"));
        QList<QMetaProperty> kept;
        for (const QMetaProperty &property : diveFieldProperties()) {
            const QString name = QLatin1String(property.name());
            if (name == u"DiveRound" || name == u"DivingOrder" || name == u"TotalScore" ||
                judgeScore.match(name).hasMatch())
                kept.append(property);
        }
        return kept;
    }();
    return properties;
}

QString selectSummaryColumns() {
    QStringList names = {QStringLiteral("reg_id"), QStringLiteral("received_ms")};
    for (const QMetaProperty &property : summaryProperties())
        names << QLatin1String(property.name());
    return names.join(QStringLiteral(", "));
}

DiveRecord readRow(const QSqlQuery &query) {
    DiveRecord record;
    record.meetId = query.value(0).toString();
    record.eventId = query.value(1).toString();
    record.regId = query.value(2).isNull() ? QVariant() : QVariant(query.value(2).toInt());
    record.revision = query.value(3).toInt();
    record.rawFrame = query.value(4).toString();
    record.receivedAtMs = query.value(5).toLongLong();
    record.change = query.value(7).toLongLong(); // null in rows from before change numbers: 0
    int column = int(RowColumns.size());
    for (const QMetaProperty &property : diveFieldProperties())
        record.fields.insert(QLatin1String(property.name()),
                             canonicalField(property, query.value(column++)));
    return record;
}

// A zero is left out: a missing award or total reads as 0 all the same.
DiveRecord readSummaryRow(const QSqlQuery &query, const QString &meetId, const QString &eventId) {
    DiveRecord record;
    record.meetId = meetId; // shared with every row, not copied
    record.eventId = eventId;
    record.regId = query.value(0).isNull() ? QVariant() : QVariant(query.value(0).toInt());
    record.receivedAtMs = query.value(1).toLongLong();
    int column = 2;
    for (const QMetaProperty &property : summaryProperties()) {
        const QJsonValue value = canonicalField(property, query.value(column++));
        if (value.toDouble() != 0)
            record.fields.insert(QLatin1String(property.name()), value);
    }
    return record;
}

} // namespace

bool ResultsTable::fail(const QString &text) {
    m_lastError = text;
    return false;
}

bool ResultsTable::ensureTable() {
    const QStringList tables = m_db.tables();
    QSqlQuery query(m_db);
    const auto exec = [&](const QString &sql) {
        return query.exec(sql) || fail(query.lastError().text());
    };
    if (!tables.contains(TableName, Qt::CaseInsensitive)) {
        QStringList columns = {"meet_id VARCHAR(20) NOT NULL",
                               "event_id VARCHAR(20) NOT NULL",
                               "reg_id INTEGER",
                               "revision INTEGER NOT NULL",
                               "raw_frame VARCHAR(256) NOT NULL",
                               "received_ms BIGINT NOT NULL",
                               "received_at VARCHAR(32) NOT NULL"};
        for (const QMetaProperty &property : diveFieldProperties())
            columns << QLatin1String(property.name()) + u' ' +
                           SqlDialect::columnType(m_db, property.metaType());
        columns << QStringLiteral("PRIMARY KEY (meet_id, event_id, DiveRound, DivingOrder)");
        if (!exec(SqlDialect::createTableIfMissing(m_db, TableName, columns)))
            return false;
    }
    // A table from before change numbers gets the column; its rows keep none (0).
    if (!m_db.record(TableName).contains(ChangeColumn) &&
        !(exec(
              QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 BIGINT").arg(TableName, ChangeColumn)) &&
          exec(QStringLiteral("CREATE INDEX IF NOT EXISTS kavvix_dive_results_change ON %1 (%2)")
                   .arg(TableName, ChangeColumn))))
        return false;
    if (!tables.contains(ChangesTable, Qt::CaseInsensitive) &&
        !(exec(SqlDialect::createTableIfMissing(
              m_db, ChangesTable, {"id INTEGER PRIMARY KEY", "change_no BIGINT NOT NULL"})) &&
          // Counting on from the rows there; "WHERE true" tells SQLite's parser where the
          // SELECT ends.
          exec(QStringLiteral("INSERT INTO %1 (id, change_no) SELECT 1, COALESCE(MAX(%2), 0) FROM "
                              "%3 WHERE true ON CONFLICT (id) DO NOTHING")
                   .arg(ChangesTable, ChangeColumn, TableName))))
        return false;
    return true;
}

ResultsTable::Outcome ResultsTable::store(DiveRecord &record) {
    const ServerWatchdog watchdog(m_db);
    if (!m_db.isOpen() || !m_db.transaction()) {
        fail(m_db.isOpen() ? m_db.lastError().text() : QStringLiteral("the database is closed"));
        return Outcome::Failed;
    }
    const Outcome outcome = storeInTransaction(record);
    if (outcome == Outcome::Failed || !m_db.commit()) {
        if (outcome != Outcome::Failed)
            fail(m_db.lastError().text());
        m_db.rollback();
        return Outcome::Failed;
    }
    return outcome;
}

ResultsTable::Outcome ResultsTable::storeInTransaction(DiveRecord &record) {
    // Writers queue on the change counter's row before they touch a dive's: two services
    // storing the same dive (two consoles on one event) then wait for each other instead of
    // deadlocking.
    QSqlQuery *queue = run(
        QStringLiteral("UPDATE %1 SET change_no = change_no WHERE id = 1").arg(ChangesTable), {});
    if (!queue)
        return Outcome::Failed;
    queue->finish();
    const QVariantList key = {record.meetId, record.eventId, int(record.round()),
                              int(record.divingOrder())};
    QSqlQuery *existing = run(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ? AND event_id "
                                             "= ? AND DiveRound = ? AND DivingOrder = ?")
                                  .arg(selectColumns(), TableName),
                              key);
    if (!existing)
        return Outcome::Failed;
    int revision = 1;
    const bool found = existing->next();
    const DiveRecord stored = found ? readRow(*existing) : DiveRecord{};
    existing->finish();
    if (found) {
        // Older than the row (a journal replayed after its dives were written), or the same
        // dive again: the row stands.
        if (record.receivedAtMs <= stored.receivedAtMs || record.fields == stored.fields) {
            record.revision = stored.revision;
            record.regId = stored.regId;
            return Outcome::Unchanged;
        }
        revision = stored.revision + 1;
        QSqlQuery *remove = run(QStringLiteral("DELETE FROM %1 WHERE meet_id = ? AND event_id = ? "
                                               "AND DiveRound = ? AND DivingOrder = ?")
                                    .arg(TableName),
                                key);
        if (!remove)
            return Outcome::Failed;
        remove->finish();
    }
    record.regId = lookUpRegId(record);
    record.revision = revision;
    if (!takeChangeNumber(record))
        return Outcome::Failed;

    const QStringList columns = RowColumns + fieldColumns();
    const DiveRecord &r = record;
    QVariantList values = {r.meetId,
                           r.eventId,
                           r.regId.isNull() ? QVariant(QMetaType::fromType<int>()) : r.regId,
                           r.revision,
                           r.rawFrame,
                           r.receivedAtMs,
                           r.toJson().value(QLatin1String("receivedAt")).toString(),
                           r.change};
    for (const QMetaProperty &property : diveFieldProperties())
        values.append(r.fields.value(QLatin1String(property.name())).toVariant());
    QSqlQuery *insert =
        run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(TableName, columns.join(QStringLiteral(", ")),
                     QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
            values);
    if (!insert)
        return Outcome::Failed;
    insert->finish();
    if (!announce(record))
        return Outcome::Failed;
    return revision == 1 ? Outcome::Inserted : Outcome::Revised;
}

// The counter's row stays locked until the transaction ends: another writer's next number
// waits for this one to commit (or roll back), so numbers are committed in their order.
bool ResultsTable::takeChangeNumber(DiveRecord &record) {
    QSqlQuery *raise = run(
        QStringLiteral("UPDATE %1 SET change_no = change_no + 1 WHERE id = 1").arg(ChangesTable),
        {});
    if (!raise)
        return false;
    raise->finish();
    QSqlQuery *read =
        run(QStringLiteral("SELECT change_no FROM %1 WHERE id = 1").arg(ChangesTable), {});
    if (!read)
        return false;
    const bool found = read->next();
    record.change = found ? read->value(0).toLongLong() : 0;
    read->finish();
    return found || fail(QStringLiteral("%1 has no counter row").arg(ChangesTable));
}

// Delivered to the listeners when the transaction commits, and never if it does not.
bool ResultsTable::announce(const DiveRecord &record) {
    const QString notify = SqlDialect::notifyStatement(m_db);
    if (notify.isEmpty())
        return true;
    const QJsonObject payload{{"meetId", record.meetId}, {"change", record.change}};
    QSqlQuery *query =
        run(notify, {DiveChannel,
                     QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact))});
    if (!query)
        return false;
    query->finish();
    return true;
}

QVariant ResultsTable::lookUpRegId(const DiveRecord &record) {
    QSqlQuery *query = run(QStringLiteral("SELECT MIN(RegID) FROM tblDiveSheets WHERE MeetID = ? "
                                          "AND EventID = ? AND DivingOrder = ?"),
                           {record.meetId, record.eventId, int(record.divingOrder())});
    QVariant regId;
    if (query && query->next() && !query->value(0).isNull())
        regId = query->value(0).toInt();
    if (query)
        query->finish();
    return regId;
}

// The statement run with its values; nullptr (and lastError()) when it fails.
QSqlQuery *ResultsTable::run(const QString &sql, const QVariantList &values) {
    QSqlQuery *query = m_statements.bind(sql, values);
    if (!query) {
        fail(m_statements.lastError());
        return nullptr;
    }
    if (!query->exec()) {
        fail(query->lastError().text());
        query->finish();
        return nullptr;
    }
    return query;
}

std::optional<QList<DiveRecord>> ResultsTable::results(const QString &meetId,
                                                       const QString &eventId) {
    return rows(QStringLiteral("event_id = ? ORDER BY DiveRound, DivingOrder"), {meetId, eventId});
}

bool ResultsTable::eachSummaryRow(const QString &meetId, const QString &eventId,
                                  const std::function<void(const DiveRecord &)> &take) {
    return eachRow(selectSummaryColumns(),
                   QStringLiteral("event_id = ? ORDER BY DiveRound, DivingOrder"),
                   {meetId, eventId},
                   [&](const QSqlQuery &query) { take(readSummaryRow(query, meetId, eventId)); });
}

std::optional<QList<DiveRecord>> ResultsTable::changesSince(const QString &meetId, qint64 after) {
    return rows(QStringLiteral("change_no > ? ORDER BY change_no"), {meetId, after});
}

// The meet's rows that meet the condition, in its order.
std::optional<QList<DiveRecord>> ResultsTable::rows(const QString &condition,
                                                    const QVariantList &values) {
    QList<DiveRecord> records;
    if (!eachRow(selectColumns(), condition, values,
                 [&records](const QSqlQuery &query) { records.append(readRow(query)); }))
        return std::nullopt;
    return records;
}

bool ResultsTable::eachRow(const QString &columns, const QString &condition,
                           const QVariantList &values,
                           const std::function<void(const QSqlQuery &)> &take) {
    const ServerWatchdog watchdog(m_db);
    QSqlQuery *query = run(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ? AND %3")
                               .arg(columns, TableName, condition),
                           values);
    if (!query)
        return false;
    while (query->next())
        take(*query);
    query->finish();
    return true;
}

std::optional<qint64> ResultsTable::lastChange() {
    const ServerWatchdog watchdog(m_db);
    QSqlQuery *query =
        run(QStringLiteral("SELECT change_no FROM %1 WHERE id = 1").arg(ChangesTable), {});
    if (!query)
        return std::nullopt;
    const qint64 change = query->next() ? query->value(0).toLongLong() : 0;
    query->finish();
    return change;
}

QList<int> ResultsTable::meetPanel(const QString &meetId) {
    QStringList highest;
    for (int judge = 1; judge <= 9; ++judge)
        highest << QStringLiteral("MAX(J%1Score)").arg(judge);
    QSqlQuery *query = run(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ?")
                               .arg(highest.join(QStringLiteral(", ")), TableName),
                           {meetId});
    QList<int> panel;
    if (query && query->next())
        for (int judge = 1; judge <= 9; ++judge)
            if (query->value(judge - 1).toDouble() > 0)
                panel.append(judge);
    if (query)
        query->finish();
    return panel;
}

std::optional<QHash<QString, ResultsTable::EventCount>>
ResultsTable::eventCounts(const QString &meetId) {
    QSqlQuery *query = run(QStringLiteral("SELECT event_id, COUNT(*), MAX(DiveRound) FROM %1 "
                                          "WHERE meet_id = ? GROUP BY event_id")
                               .arg(TableName),
                           {meetId});
    if (!query)
        return std::nullopt;
    QHash<QString, EventCount> counts;
    while (query->next())
        counts.insert(query->value(0).toString(),
                      EventCount{query->value(1).toInt(), query->value(2).toInt()});
    query->finish();
    return counts;
}

} // namespace Kavvix
