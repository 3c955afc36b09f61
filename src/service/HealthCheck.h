#pragma once

#include <QJsonObject>

namespace Kavvix {

class ConsoleLink;
class DiveJournal;
class DiveKeeper;

// Whether the service can do its job right now: the console's line is open (or lent to an
// upload or connection test), the meet database answers (as the last write found it: asking it
// here would wait for it), and the journal can take a dive.
class HealthCheck {
public:
    struct Report {
        bool healthy = false;
        // {"console", "database", "journal"}: "ok" or what is wrong with it; when unhealthy,
        // "error" repeats the first problem.
        QJsonObject body;
    };

    HealthCheck(const DiveKeeper &keeper, const ConsoleLink &link, const DiveJournal &journal)
        : m_keeper(keeper), m_link(link), m_journal(journal) {}

    Report check() const;
    // A service without a console line (serve --no-console, a mirror) does not miss it, nor
    // a mirror its journal; each says "none (why)".
    void setWithoutConsole(const QString &why) { m_noConsole = why; }
    void setWithoutJournal(const QString &why) { m_noJournal = why; }

private:
    QString consoleProblem() const;
    QString databaseProblem() const;
    QString journalProblem() const;

    const DiveKeeper &m_keeper;
    const ConsoleLink &m_link;
    const DiveJournal &m_journal;
    QString m_noConsole;
    QString m_noJournal;
};

} // namespace Kavvix
