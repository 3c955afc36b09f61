#pragma once

#include <kavvix/ValidationProblem.h>

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace Kavvix {

// The upload dialog's message list: appends one line, after clearing the list when asked.
using MessageSink = std::function<void(const QString &sMessage, bool bClearFirst)>;

// Checks an event in the meet database before its dive sheets are uploaded and writes one line
// per problem found, then a verdict line. True when the event may be uploaded: at most 25
// divers, every diver has a diving order, every dive a DD, and the diving orders run 1, 2, 3 ...
// without gaps (blank dive numbers draw only a warning), and no diving order is above 25. A
// database error stops the checks with a line naming it, and the result is false.
// problems, when given, receives one entry per line written for a problem, with the dives at
// fault.
bool ValidateEvent(const QString &sMeetID, const QString &sEventID, const QSqlDatabase &odbConn,
                   const MessageSink &ShowMessage, QList<ValidationProblem> *problems = nullptr);

} // namespace Kavvix
