#include "DiverNames.h"
#include "upload/ServerWatchdog.h"

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
    m_last = divers;
    return divers;
}

void DiverNames::annotate(QJsonObject &object, const Map &divers) {
    const QJsonValue regId = object.value(QLatin1String("regId"));
    const auto found = regId.isDouble() ? divers.constFind(regId.toInt()) : divers.constEnd();
    const bool known = found != divers.constEnd();
    object.insert(QStringLiteral("diverName"), known ? found->name : QJsonValue());
    object.insert(QStringLiteral("team"), known ? found->team : QJsonValue());
}

} // namespace Kavvix
