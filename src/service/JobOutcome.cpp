#include "JobOutcome.h"

#include <QJsonArray>

namespace Kavvix::JobOutcome {

namespace {

QJsonObject problemJson(const ValidationProblem &problem) {
    QJsonArray dives;
    for (const DiveAtFault &dive : problem.dives)
        dives.append(QJsonObject{
            {"regId", dive.regId}, {"divingOrder", dive.divingOrder}, {"round", dive.round}});
    QJsonObject json{{"check", problem.name()}, {"line", problem.line},
                     {"fatal", problem.fatal},  {"text", problem.describe()},
                     {"dives", dives},          {"diveCount", problem.diveCount}};
    if (problem.check == ValidationProblem::Check::TooManyDivers)
        json.insert(QStringLiteral("divers"), problem.divers);
    if (problem.check == ValidationProblem::Check::OrderNotSequential) {
        QJsonArray missing;
        for (const qint16 order : problem.missingOrders)
            missing.append(order);
        json.insert(QStringLiteral("missingOrders"), missing);
        json.insert(QStringLiteral("missingOrderCount"), problem.missingOrderCount);
    }
    return json;
}

} // namespace

QJsonObject finishedMessage(const QString &job, const JobResult &result) {
    QJsonObject message{{"type", "finished"}, {"job", job}, {"result", result.name()}};
    if (!result.detail.isEmpty())
        message.insert(QStringLiteral("detail"), result.detail);
    if (!result.validation.isEmpty()) {
        QJsonArray problems;
        for (const ValidationProblem &problem : result.validation)
            problems.append(problemJson(problem));
        message.insert(QStringLiteral("validation"), problems);
    }
    return message;
}

} // namespace Kavvix::JobOutcome
