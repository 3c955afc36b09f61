#include "MirrorConsoles.h"

namespace Kavvix {

namespace {

const QStringList LineKeys = {"open", "since", "answering", "version", "versionCurrent"};

QJsonObject lineOf(const QJsonObject &source) {
    QJsonObject line;
    for (const QString &key : LineKeys)
        line.insert(key, source.value(key));
    return line;
}

} // namespace

void MirrorConsoles::reset(const QJsonArray &consoles) {
    m_lines.clear();
    for (const QJsonValue &value : consoles) {
        const QJsonObject console = value.toObject();
        if (console.value(QLatin1String("running")).toBool())
            m_lines.insert(console.value(QLatin1String("name")).toString(), lineOf(console));
    }
}

void MirrorConsoles::apply(const QJsonObject &message) {
    m_lines.insert(message.value(QLatin1String("consoleName")).toString(), lineOf(message));
}

QJsonObject MirrorConsoles::combined() const {
    if (m_lines.isEmpty())
        return QJsonObject{{"open", false},
                           {"since", m_started.toString(Qt::ISODateWithMs)},
                           {"answering", false},
                           {"version", QJsonValue()},
                           {"versionCurrent", false}};
    for (const QJsonObject &line : m_lines)
        if (!line.value(QLatin1String("open")).toBool())
            return line;
    QJsonObject all = m_lines.first();
    for (const QJsonObject &line : m_lines) {
        all.insert(QStringLiteral("answering"),
                   all.value(QLatin1String("answering")).toBool() &&
                       line.value(QLatin1String("answering")).toBool());
        all.insert(QStringLiteral("versionCurrent"),
                   all.value(QLatin1String("versionCurrent")).toBool() &&
                       line.value(QLatin1String("versionCurrent")).toBool());
        if (line.value(QLatin1String("since")).toString() >
            all.value(QLatin1String("since")).toString())
            all.insert(QStringLiteral("since"), line.value(QLatin1String("since")));
    }
    if (m_lines.size() > 1)
        all.insert(QStringLiteral("version"), QJsonValue());
    return all;
}

} // namespace Kavvix
