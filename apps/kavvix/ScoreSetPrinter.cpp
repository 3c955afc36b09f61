#include "ScoreSetPrinter.h"

#include "TextForms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace KavvixCli {

namespace {

constexpr int judgeCount = 10;

QVariant field(const QObject &scoreSet, const char *name) {
    return scoreSet.property(name);
}

float floatField(const QObject &scoreSet, const char *name) {
    return field(scoreSet, name).toFloat();
}

// Console text is shown, never obeyed: its control characters reach no terminal.
QString textField(const QObject &scoreSet, const char *name) {
    return TextForms::visible(field(scoreSet, name).toString());
}

QString number(const QObject &scoreSet, const char *name) {
    return TextForms::shortest(floatField(scoreSet, name));
}

QByteArray judgeProperty(int judge) {
    return QByteArrayLiteral("Judge") + QByteArray::number(judge) + QByteArrayLiteral("Score");
}

} // namespace

QJsonObject ScoreSetPrinter::toJson(const QObject &scoreSet) {
    QJsonObject json;
    for (const char *name : {"PrimaryDiver", "SynchroPartner", "DiveNumber", "DivePosition"})
        json.insert(QLatin1String(name), field(scoreSet, name).toString());
    for (const char *name : {"DiverNumber", "CurrentRound"})
        json.insert(QLatin1String(name), field(scoreSet, name).toInt());
    for (const char *name : {"DiveDD", "DiveTotal", "StartingScore", "CurrentTotal"})
        json.insert(QLatin1String(name), TextForms::asJsonNumber(floatField(scoreSet, name)));
    QJsonArray judges;
    for (int judge = 1; judge <= judgeCount; ++judge)
        judges.append(TextForms::asJsonNumber(floatField(scoreSet, judgeProperty(judge))));
    json.insert(QStringLiteral("JudgeScores"), judges);
    json.insert(QStringLiteral("DataIsValid"), field(scoreSet, "DataIsValid").toBool());
    return json;
}

void ScoreSetPrinter::printTable(const QObject &scoreSet, QTextStream &out) {
    QString diver = textField(scoreSet, "PrimaryDiver");
    const QString partner = textField(scoreSet, "SynchroPartner");
    if (!partner.isEmpty())
        diver += QStringLiteral(" / ") + partner;
    QStringList judges;
    for (int judge = 1; judge <= judgeCount; ++judge)
        judges << number(scoreSet, judgeProperty(judge));

    const auto row = [&out](const char *label, const QString &value) {
        out << QString::fromLatin1(label).leftJustified(15) << value << '\n';
    };
    row("Diver",
        QStringLiteral("%1 (no. %2)").arg(diver, field(scoreSet, "DiverNumber").toString()));
    row("Round", field(scoreSet, "CurrentRound").toString());
    row("Dive", textField(scoreSet, "DiveNumber"));
    row("Position", textField(scoreSet, "DivePosition"));
    row("DD", number(scoreSet, "DiveDD"));
    row("Judges 1-10", judges.join(QLatin1Char(' ')));
    row("Dive total", number(scoreSet, "DiveTotal"));
    row("Starting score", number(scoreSet, "StartingScore"));
    row("Current total", number(scoreSet, "CurrentTotal"));
    row("Valid",
        field(scoreSet, "DataIsValid").toBool() ? QStringLiteral("yes") : QStringLiteral("no"));
}

void ScoreSetPrinter::printJsonLine(const QObject &scoreSet, QTextStream &out) {
    out << QJsonDocument(toJson(scoreSet)).toJson(QJsonDocument::Compact) << '\n';
}

} // namespace KavvixCli
