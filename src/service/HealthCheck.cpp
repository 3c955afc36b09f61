#include "HealthCheck.h"

#include "ConsoleLink.h"
#include "DiveJournal.h"
#include "DiveKeeper.h"

#include <QFileInfo>

#include <string_view>

namespace Kavvix {

HealthCheck::Report HealthCheck::check() const {
    Report report;
    report.healthy = true;
    const std::pair<const char *, QString> parts[] = {{"console", consoleProblem()},
                                                      {"database", databaseProblem()},
                                                      {"journal", journalProblem()}};
    for (const auto &[name, problem] : parts) {
        const QString &none = name == std::string_view("console")   ? m_noConsole
                              : name == std::string_view("journal") ? m_noJournal
                                                                    : QString();
        if (!none.isEmpty()) {
            report.body.insert(QLatin1String(name), QStringLiteral("none (%1)").arg(none));
            continue;
        }
        report.body.insert(QLatin1String(name), problem.isEmpty() ? QStringLiteral("ok") : problem);
        if (!problem.isEmpty() && report.healthy) {
            report.healthy = false;
            report.body.insert(QLatin1String("error"),
                               QStringLiteral("%1: %2").arg(QLatin1String(name), problem));
        }
    }
    return report;
}

QString HealthCheck::consoleProblem() const {
    if (m_link.isOpen() || m_link.jobRunning())
        return {};
    return QStringLiteral("COM %1 is closed (the device is gone or cannot be opened); retrying "
                          "every second")
        .arg(m_link.portNumber());
}

QString HealthCheck::databaseProblem() const {
    if (m_keeper.databaseUp())
        return {};
    return QStringLiteral("does not answer: %1").arg(m_keeper.problem());
}

QString HealthCheck::journalProblem() const {
    if (!m_journal.isOpen())
        return QStringLiteral("%1 is not open").arg(m_journal.path());
    const QFileInfo file(m_journal.path());
    if (!file.exists())
        return QStringLiteral("%1 has been removed").arg(m_journal.path());
    if (!file.isWritable())
        return QStringLiteral("%1 cannot be written").arg(m_journal.path());
    return {};
}

} // namespace Kavvix
