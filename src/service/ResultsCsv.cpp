#include "ResultsCsv.h"

#include "JudgePanel.h"

#include <QJsonArray>
#include <QStringList>

namespace Kavvix::ResultsCsv {

namespace {

const QStringList Header = {"meet",   "event",      "round", "diving order", "RegID",
                            "diver",  "team",       "dive",  "position",     "DD",
                            "awards", "dive total", "total", "revision",     "received at"};

QString fixed(const QJsonValue &value, int decimals) {
    return QString::number(value.toDouble(), 'f', decimals);
}

QString textOf(const QJsonValue &value) {
    if (value.isNull() || value.isUndefined())
        return {};
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString().trimmed();
}

QString row(const QStringList &fields) {
    QStringList quoted;
    for (const QString &text : fields)
        quoted << field(text);
    return quoted.join(u',') + QStringLiteral("\r\n");
}

} // namespace

QString field(const QString &text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString escaped = text;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QByteArray write(const QList<DiveRecord> &dives, const DiverNames::Map &names,
                 const QList<int> &panel) {
    QString text = row(Header);
    for (const DiveRecord &record : dives) {
        QJsonObject dive = record.toJson();
        DiverNames::annotate(dive, names);
        QStringList awards;
        for (const QJsonValue &award : JudgePanel::awards(dive, panel))
            awards << fixed(award[QLatin1String("award")], 1);
        text += row(
            {record.meetId, record.eventId, QString::number(record.round()),
             QString::number(record.divingOrder()), textOf(dive[QLatin1String("regId")]),
             textOf(dive[QLatin1String("diverName")]), textOf(dive[QLatin1String("team")]),
             textOf(dive[QLatin1String("DiveNumber")]), textOf(dive[QLatin1String("DivePos")]),
             fixed(dive[QLatin1String("DiveDD")], 1), awards.join(u' '),
             fixed(dive[QLatin1String("DiveTotal")], 2),
             fixed(dive[QLatin1String("TotalScore")], 2), textOf(dive[QLatin1String("revision")]),
             textOf(dive[QLatin1String("receivedAt")])});
    }
    return text.toUtf8();
}

} // namespace Kavvix::ResultsCsv
