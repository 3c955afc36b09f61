#pragma once

#include "Command.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace KavvixCli {

// Runs the upload dialog's own logic without a window: the same message lines, printed as
// they come (message boxes go to standard error as "title: text").
class HeadlessUpload {
public:
    explicit HeadlessUpload(Console &console) : m_console(console) {}

    // Validates and uploads one event of a meet; true when "All data has been sent".
    // Throws UserError for a meet or event that is not in the database.
    bool upload(const QSqlDatabase &db, const QString &meetId, const QString &eventId,
                const QString &diveOrder, qint16 port);

    // The connection test; true when the console answered with its version.
    bool testConnection(qint16 port);

    // The message lines of the last run, each "<time of day> <text>".
    const QStringList &messages() const { return m_messages; }

    // Command code of a dive order letter A-D ("301"-"304"); throws UsageError otherwise.
    static QString diveOrderCommand(const QString &letter);
    // Throws UserError when port n names no device or the device cannot be opened.
    static void requireUsablePort(qint16 port);

    static inline const QString AllSent = QStringLiteral("All data has been sent");

private:
    Console &m_console;
    QStringList m_messages;
};

} // namespace KavvixCli
