#include "DiverNames.h"
#include "upload/ServerWatchdog.h"

#include "upload/dialect/SqlDialect.h"

#include <QDateTime>
#include <QJsonValue>
#include <QSqlQuery>
#include <QStringList>

namespace Kavvix {

namespace {

QJsonValue textOrNull(const QVariant &value) {
    const QString text = value.toString().trimmed();
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

DiverNames::Map DiverNames::load() const {
    const ServerWatchdog watchdog(m_db);
    // Asked first, so that a database without it does not log a failed statement per request.
    const QStringList relations = m_db.tables(QSql::Tables) + m_db.tables(QSql::Views);
    if (!relations.contains(TableName, Qt::CaseInsensitive))
        return {};
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT RegID, DiverName, Team FROM %1 WHERE MeetID = ?").arg(TableName));
    query.addBindValue(m_meetId);
    Map divers;
    if (!query.exec())
        return divers;
    while (query.next())
        divers.insert(query.value(0).toInt(),
                      Diver{textOrNull(query.value(1)), textOrNull(query.value(2))});
    return divers;
}

QVariant DiverNames::changeMark(PreparedStatements &statements) const {
    // SQLite counts the commits of other connections to the file, never our own.
    if (const QString sql = SqlDialect::otherWritersMark(m_db); !sql.isEmpty()) {
        QSqlQuery *query = statements.bind(sql, {});
        QVariant mark;
        if (query && query->exec() && query->next())
            mark = query->value(0);
        if (query)
            query->finish();
        if (!mark.isNull())
            return mark;
    }
    return QDateTime::currentMSecsSinceEpoch() / ReloadAfterMs;
}

const DiverNames::Map &DiverNames::current(PreparedStatements &statements) {
    const QVariant mark = changeMark(statements);
    if (m_readAtMark.isNull() || mark != m_readAtMark) {
        m_current = load();
        m_readAtMark = mark;
    }
    return m_current;
}

void DiverNames::annotate(QJsonObject &object, const Map &divers) {
    const QJsonValue regId = object.value(QLatin1String("regId"));
    const auto found = regId.isDouble() ? divers.constFind(regId.toInt()) : divers.constEnd();
    const bool known = found != divers.constEnd();
    object.insert(QStringLiteral("diverName"), known ? found->name : QJsonValue());
    object.insert(QStringLiteral("team"), known ? found->team : QJsonValue());
}

} // namespace Kavvix
