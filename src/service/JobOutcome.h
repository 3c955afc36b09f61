#pragma once

#include <kavvix/JobResult.h>

#include <QJsonObject>
#include <QString>

namespace Kavvix::JobOutcome {

// The feed's message for a job that ended: {"type": "finished", "job", "result"}, with
// "detail" when the result has one and "validation" (each problem with the dives at fault)
// when the event failed its checks.
QJsonObject finishedMessage(const QString &job, const JobResult &result);

} // namespace Kavvix::JobOutcome
