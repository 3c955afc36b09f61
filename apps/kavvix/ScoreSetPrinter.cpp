#include "ScoreSetPrinter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace KavvixCli {

namespace {

constexpr int judgeCount = 10;

QVariant field(const QObject &scoreSet, const char *name) {
    return scoreSet.property(name);
}

QString number(const QObject &scoreSet, const char *name) {
    return QString::number(field(scoreSet, name).toFloat());
}

QString judgeProperty(int judge) {
    return QStringLiteral("Judge%1Score").arg(judge);
}

} // namespace

QJsonObject ScoreSetPrinter::toJson(const QObject &scoreSet) {
    QJsonObject json;
    for (const char *name : {"PrimaryDiver", "SynchroPartner", "DiveNumber", "DivePosition"})
        json.insert(QLatin1String(name), field(scoreSet, name).toString());
    for (const char *name : {"DiverNumber", "CurrentRound"})
        json.insert(QLatin1String(name), field(scoreSet, name).toInt());
    for (const char *name : {"DiveDD", "DiveTotal", "StartingScore", "CurrentTotal"})
        json.insert(QLatin1String(name), double(field(scoreSet, name).toFloat()));
    QJsonArray judges;
    for (int judge = 1; judge <= judgeCount; ++judge)
        judges.append(double(scoreSet.property(judgeProperty(judge).toLatin1()).toFloat()));
    json.insert(QStringLiteral("JudgeScores"), judges);
    json.insert(QStringLiteral("DataIsValid"), field(scoreSet, "DataIsValid").toBool());
    return json;
}

void ScoreSetPrinter::printTable(const QObject &scoreSet, QTextStream &out) {
    QString diver = field(scoreSet, "PrimaryDiver").toString();
    const QString partner = field(scoreSet, "SynchroPartner").toString();
    if (!partner.isEmpty())
        diver += QStringLiteral(" / ") + partner;
    QStringList judges;
    for (int judge = 1; judge <= judgeCount; ++judge)
        judges << QString::number(scoreSet.property(judgeProperty(judge).toLatin1()).toFloat());

    const auto row = [&out](const char *label, const QString &value) {
        out << QString::fromLatin1(label).leftJustified(15) << value << '\n';
    };
    row("Diver",
        QStringLiteral("%1 (no. %2)").arg(diver, field(scoreSet, "DiverNumber").toString()));
    row("Round", field(scoreSet, "CurrentRound").toString());
    row("Dive", field(scoreSet, "DiveNumber").toString());
    row("Position", field(scoreSet, "DivePosition").toString());
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
