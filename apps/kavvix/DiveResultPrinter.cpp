#include "DiveResultPrinter.h"

#include "TextForms.h"

#include <kavvix/cDiveResult.h>

#include <QMetaProperty>
#include <QStringList>

namespace KavvixCli {

QString DiveResultPrinter::line(const Kavvix::cDiveResult &r) {
    QStringList judges;
    const float scores[] = {r.J1Score(), r.J2Score(), r.J3Score(), r.J4Score(), r.J5Score(),
                            r.J6Score(), r.J7Score(), r.J8Score(), r.J9Score()};
    for (float score : scores)
        judges << TextForms::shortest(score);
    return QStringLiteral("dive: event %1%2 round %3 diver %4 dive %5%6 DD %7 judges %8 "
                          "dive total %9 total %10")
        .arg(r.EventNumberN())
        .arg(TextForms::visible(r.EventNumberA().trimmed()))
        .arg(r.DiveRound())
        .arg(r.DivingOrder())
        .arg(TextForms::visible(r.DiveNumber().trimmed()),
             TextForms::visible(r.DivePos().trimmed()))
        .arg(TextForms::shortest(r.DiveDD()), judges.join(QLatin1Char(' ')),
             TextForms::shortest(r.DiveTotal()), TextForms::shortest(r.TotalScore()));
}

QJsonObject DiveResultPrinter::toJson(const Kavvix::cDiveResult &result) {
    // Every property by its own name, so the JSON follows the record's interface.
    QJsonObject json;
    const QMetaObject *meta = result.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QVariant value = property.read(&result);
        json.insert(QLatin1String(property.name()),
                    property.metaType() == QMetaType::fromType<float>()
                        ? QJsonValue(TextForms::asJsonNumber(value.toFloat()))
                        : QJsonValue::fromVariant(value));
    }
    return json;
}

} // namespace KavvixCli
