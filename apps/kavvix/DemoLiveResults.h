#pragma once

#include "Command.h"

namespace Kavvix {
class ConsoleSimulator;
}

namespace KavvixCli {

// The demo's second half: the live results service takes over the console's line, the
// console judges a round, and the demo shows where the dives went: the results table in the
// meet database, the live feed and the API.
class DemoLiveResults {
public:
    DemoLiveResults(QString databaseFile, qint16 portNumber, Console &console)
        : m_file(std::move(databaseFile)), m_port(portNumber), m_console(console) {}

    // Throws UserError when not every dive reached the API.
    void run(Kavvix::ConsoleSimulator &simulator, const QString &journalPath);

private:
    void printStandings(const QString &baseUrl);

    QString m_file;
    qint16 m_port;
    Console &m_console;
};

} // namespace KavvixCli
