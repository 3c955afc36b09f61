#include "ResultsTable.h"

#include "upload/dialect/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace Kavvix {

namespace {

const QString TableName = QStringLiteral("kavvix_dive_results");

QStringList fieldColumns() {
    QStringList names;
    for (const QMetaProperty &property : diveFieldProperties())
        names << QLatin1String(property.name());
    return names;
}

// The columns every query reads, in this order, ahead of the dive fields.
const QStringList RowColumns = {"meet_id",   "event_id",    "reg_id",     "revision",
                                "raw_frame", "received_ms", "received_at"};

QString selectColumns() {
    return (RowColumns + fieldColumns()).join(QStringLiteral(", "));
}

DiveRecord readRow(const QSqlQuery &query) {
    DiveRecord record;
    record.meetId = query.value(0).toString();
    record.eventId = query.value(1).toString();
    record.regId = query.value(2).isNull() ? QVariant() : QVariant(query.value(2).toInt());
    record.revision = query.value(3).toInt();
    record.rawFrame = query.value(4).toString();
    record.receivedAtMs = query.value(5).toLongLong();
    int column = int(RowColumns.size());
    for (const QMetaProperty &property : diveFieldProperties())
        record.fields.insert(QLatin1String(property.name()),
                             canonicalField(property, query.value(column++)));
    return record;
}

// The values of a "meet_id = ? AND event_id = ? AND DiveRound = ? AND DivingOrder = ?" key.
void bindKey(QSqlQuery &query, const DiveRecord &record) {
    for (const QVariant &value : {QVariant(record.meetId), QVariant(record.eventId),
                                  QVariant(record.round()), QVariant(record.divingOrder())})
        query.addBindValue(value);
}

} // namespace

bool ResultsTable::fail(const QString &text) {
    m_lastError = text;
    return false;
}

bool ResultsTable::ensureTable() {
    if (m_db.tables().contains(TableName, Qt::CaseInsensitive))
        return true;
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
    QSqlQuery query(m_db);
    if (!query.exec(SqlDialect::createTableIfMissing(m_db, TableName, columns)))
        return fail(query.lastError().text());
    return true;
}

ResultsTable::Outcome ResultsTable::store(DiveRecord &record) {
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
    QSqlQuery existing(m_db);
    existing.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ? AND event_id = ? AND "
                                    "DiveRound = ? AND DivingOrder = ?")
                         .arg(selectColumns(), TableName));
    bindKey(existing, record);
    if (!existing.exec()) {
        fail(existing.lastError().text());
        return Outcome::Failed;
    }
    int revision = 1;
    if (existing.next()) {
        const DiveRecord stored = readRow(existing);
        existing.finish();
        // Older than the row (a journal replayed after its dives were written), or the same
        // dive again: the row stands.
        if (record.receivedAtMs <= stored.receivedAtMs || record.fields == stored.fields) {
            record.revision = stored.revision;
            record.regId = stored.regId;
            return Outcome::Unchanged;
        }
        revision = stored.revision + 1;
        QSqlQuery remove(m_db);
        remove.prepare(QStringLiteral("DELETE FROM %1 WHERE meet_id = ? AND event_id = ? AND "
                                      "DiveRound = ? AND DivingOrder = ?")
                           .arg(TableName));
        bindKey(remove, record);
        if (!remove.exec()) {
            fail(remove.lastError().text());
            return Outcome::Failed;
        }
    }
    record.regId = lookUpRegId(record);
    record.revision = revision;

    const QStringList columns = RowColumns + fieldColumns();
    QSqlQuery insert(m_db);
    insert.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(TableName, columns.join(QStringLiteral(", ")),
                 QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
    const DiveRecord &r = record;
    for (const QVariant &value :
         {QVariant(r.meetId), QVariant(r.eventId),
          r.regId.isNull() ? QVariant(QMetaType::fromType<int>()) : r.regId, QVariant(r.revision),
          QVariant(r.rawFrame), QVariant(r.receivedAtMs),
          QVariant(r.toJson().value(QLatin1String("receivedAt")).toString())})
        insert.addBindValue(value);
    for (const QMetaProperty &property : diveFieldProperties())
        insert.addBindValue(r.fields.value(QLatin1String(property.name())).toVariant());
    if (!insert.exec()) {
        fail(insert.lastError().text());
        return Outcome::Failed;
    }
    return revision == 1 ? Outcome::Inserted : Outcome::Revised;
}

QVariant ResultsTable::lookUpRegId(const DiveRecord &record) {
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT MIN(RegID) FROM tblDiveSheets WHERE MeetID = ? AND "
                                 "EventID = ? AND DivingOrder = ?"));
    query.addBindValue(record.meetId);
    query.addBindValue(record.eventId);
    query.addBindValue(int(record.divingOrder()));
    if (!query.exec() || !query.next() || query.value(0).isNull())
        return {};
    return query.value(0).toInt();
}

std::optional<QList<DiveRecord>> ResultsTable::results(const QString &meetId,
                                                       const QString &eventId) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE meet_id = ? AND event_id = ? "
                                 "ORDER BY DiveRound, DivingOrder")
                      .arg(selectColumns(), TableName));
    query.addBindValue(meetId);
    query.addBindValue(eventId);
    if (!query.exec()) {
        fail(query.lastError().text());
        return std::nullopt;
    }
    QList<DiveRecord> records;
    while (query.next())
        records.append(readRow(query));
    return records;
}

} // namespace Kavvix
