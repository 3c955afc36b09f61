#include "DiveRecord.h"

#include <kavvix/cDiveResult.h>

#include <QDateTime>

namespace Kavvix {

const QList<QMetaProperty> &diveFieldProperties() {
    static const QList<QMetaProperty> properties = [] {
        QList<QMetaProperty> list;
        const QMetaObject &meta = cDiveResult::staticMetaObject;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
            list.append(meta.property(i));
        return list;
    }();
    return properties;
}

QJsonValue canonicalField(const QMetaProperty &property, const QVariant &value) {
    switch (property.metaType().id()) {
    case QMetaType::Float:
        // A float widened to double carries binary noise (2.4f is 2.4000000953...); the
        // console sends at most a few decimals, so seven significant digits give them back.
        return QString::number(double(value.toFloat()), 'g', 7).toDouble();
    case QMetaType::Short:
        return value.toInt();
    default:
        return value.toString();
    }
}

DiveRecord DiveRecord::fromResult(const cDiveResult &result) {
    DiveRecord record;
    for (const QMetaProperty &property : diveFieldProperties())
        record.fields.insert(QLatin1String(property.name()),
                             canonicalField(property, property.read(&result)));
    return record;
}

QJsonObject DiveRecord::toJson() const {
    QJsonObject object = fields;
    object.insert(QStringLiteral("meetId"), meetId);
    object.insert(QStringLiteral("eventId"), eventId);
    object.insert(QStringLiteral("regId"), regId.isNull() ? QJsonValue() : regId.toInt());
    object.insert(QStringLiteral("revision"), revision == 0 ? QJsonValue() : revision);
    object.insert(
        QStringLiteral("receivedAt"),
        QDateTime::fromMSecsSinceEpoch(receivedAtMs, Qt::UTC).toString(Qt::ISODateWithMs));
    return object;
}

QJsonObject DiveRecord::toJournal() const {
    return {{"meetId", meetId},
            {"eventId", eventId},
            {"receivedAtMs", receivedAtMs},
            {"rawFrame", rawFrame},
            {"fields", fields}};
}

bool DiveRecord::fromJournal(const QJsonObject &object, DiveRecord &record) {
    const QJsonObject fields = object.value(QLatin1String("fields")).toObject();
    if (!object.value(QLatin1String("meetId")).isString() ||
        !object.value(QLatin1String("eventId")).isString() ||
        !object.value(QLatin1String("receivedAtMs")).isDouble())
        return false;
    record = DiveRecord{};
    record.meetId = object.value(QLatin1String("meetId")).toString();
    record.eventId = object.value(QLatin1String("eventId")).toString();
    record.receivedAtMs = qint64(object.value(QLatin1String("receivedAtMs")).toDouble());
    record.rawFrame = object.value(QLatin1String("rawFrame")).toString();
    for (const QMetaProperty &property : diveFieldProperties()) {
        const QJsonValue value = fields.value(QLatin1String(property.name()));
        if (value.isUndefined())
            return false;
        record.fields.insert(QLatin1String(property.name()),
                             canonicalField(property, value.toVariant()));
    }
    return true;
}

} // namespace Kavvix
