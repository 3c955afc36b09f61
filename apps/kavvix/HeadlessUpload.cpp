#include "HeadlessUpload.h"

#include "upload/dialog/DakUploadSession.h"
#include "upload/dialog/TextUploadView.h"

#include <kavvix/PortTable.h>

#include "MeetDatabaseOption.h"

namespace KavvixCli {

namespace {

bool endsWith(const QStringList &messages, const QString &text) {
    return !messages.isEmpty() && messages.last().endsWith(QLatin1Char(' ') + text);
}

} // namespace

QString HeadlessUpload::diveOrderCommand(const QString &letter) {
    const QString upper = letter.toUpper();
    if (upper.size() != 1 || upper[0] < QLatin1Char('A') || upper[0] > QLatin1Char('D'))
        throw UsageError(QStringLiteral("--order takes A, B, C or D, not '%1'").arg(letter));
    return QString::number(301 + (upper[0].unicode() - u'A'));
}

void HeadlessUpload::requireUsablePort(qint16 port) {
    const QString device = Kavvix::modKavvix::PortDevice(port);
    if (device.isEmpty())
        throw UserError(
            QStringLiteral("COM %1 is not mapped to a device (set KAVVIX_COM%1=/dev/...)")
                .arg(port));
    if (!Kavvix::modKavvix::PortAvailable(port))
        throw UserError(QStringLiteral("COM %1 (%2) cannot be opened: it is missing or in use")
                            .arg(port)
                            .arg(device));
}

bool HeadlessUpload::upload(const QSqlDatabase &db, const QString &meetId, const QString &eventId,
                            const QString &diveOrder, qint16 port) {
    requireMeet(db, meetId);
    Kavvix::TextUploadView view(&m_console.out, &m_console.err);
    Kavvix::DakUploadSession session(view);
    session.Form_Load(db, meetId);
    session.LoadEvents();
    const qint32 index = session.eventIndexOf(eventId);
    if (index < 0)
        throw UserError(QStringLiteral("event '%1' is not an uploadable event of meet '%2'")
                            .arg(eventId, meetId));
    requireUsablePort(port);
    view.setSelectedEvent(index);
    view.setDiveOrderCommand(diveOrder);
    view.setPort(port);
    session.cboCOMport_Click();
    session.btnTransmit_Click();
    session.waitUntilIdle();
    m_messages = view.messages();
    return endsWith(m_messages, AllSent);
}

bool HeadlessUpload::testConnection(qint16 port) {
    requireUsablePort(port);
    Kavvix::TextUploadView view(&m_console.out, &m_console.err);
    Kavvix::DakUploadSession session(view);
    session.Form_Load(QSqlDatabase(), QString());
    view.setPort(port);
    session.cboCOMport_Click();
    session.btnTest_Click();
    session.waitUntilIdle();
    m_messages = view.messages();
    return !m_messages.isEmpty() &&
           m_messages.last().contains(QLatin1String(" Connection Successful - "));
}

} // namespace KavvixCli
