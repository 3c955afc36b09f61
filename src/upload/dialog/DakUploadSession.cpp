#include "upload/dialog/DakUploadSession.h"

#include "upload/dialog/DakUploadView.h"

#include <kavvix/ConnectionTestJob.h>
#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/UploadJob.h>
#include <kavvix/comPort.h>
#include <kavvix/modKavvix.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace Kavvix {

namespace {

const QString NoEventSelected = QStringLiteral("Unable to process - No event selected");

// Log texts of the port notifications other than characters received.
QString notificationText(qint16 kind) {
    switch (kind) {
    case comPort::SendEvent:
        return QStringLiteral("comm send event");
    case comPort::ClearToSendChanged:
        return QStringLiteral("change in clear-to-send line");
    case comPort::DataSetReadyChanged:
        return QStringLiteral("change in data set ready line");
    case comPort::CarrierDetectChanged:
        return QStringLiteral("change in carrier detect line");
    case comPort::Ring:
        return QStringLiteral("comm ring detect");
    case comPort::EndOfFile:
        return QStringLiteral("comm end of file");
    default:
        return {};
    }
}

} // namespace

DakUploadSession::DakUploadSession(DakUploadView &view, QObject *controlsParent)
    : m_view(view), m_line(new ConsoleLine(controlsParent ? controlsParent : this)) {
    connect(port(), &comPort::OnComm, this, &DakUploadSession::comPort_OnComm);
}

DakUploadSession::~DakUploadSession() {
    // The line may outlive the session (a child of the dialog): a job still running stops
    // here, and leaves it idle.
    if (m_job)
        m_job->disconnect(this);
    delete m_job;
    disconnect(port(), nullptr, this, nullptr);
    tmrWait()->stop();
    if (port()->isOpen())
        port()->close();
}

void DakUploadSession::Form_Load(const QSqlDatabase &odbConn, const QString &sMeetID) {
    m_db = odbConn;
    m_utility = createUtility();
    m_meetId = sMeetID;
    m_commPort = 1;
    m_view.setMeetName(modKavvix::GetMeetName(sMeetID, m_db));
}

void DakUploadSession::LoadEvents() {
    int step = 1;
    try {
        // The list's own conversions, for the length of this routine.
        const std::unique_ptr<cUtility> utility = createUtility();
        m_view.clearEvents();
        m_eventItemData.clear();
        m_view.addEvent(QStringLiteral("<No Events Found>"), -1);
        m_eventItemData << -1;

        step = 2;
        const std::unique_ptr<QSqlQuery> rs = modKavvix::GetMeetEvents(m_meetId, m_db);
        if (!rs)
            return;
        step = 3;
        if (!rs->first())
            return;

        step = 4; // the row count is known once the last row has been visited
        rs->last();
        const qsizetype rows = rs->at() + 1;
        rs->first();
        m_view.clearEvents();
        m_eventItemData.clear();
        m_eventIds.resize(qMax(m_eventIds.size(), rows + 1));

        step = 5;
        do {
            m_view.addEvent(utility->ToText(rs->value(QStringLiteral("EventName"))), 0);
            m_eventItemData << 0;
            m_eventIds[m_eventItemData.size() - 1] =
                utility->ToText(rs->value(QStringLiteral("EventID")));
        } while (rs->next());
    } catch (const std::exception &e) {
        m_view.showMessageBox(Caption, QStringLiteral("Error filling list of events: %1[%2]%3")
                                           .arg(Error::codeOf(e))
                                           .arg(step)
                                           .arg(Error::describe(e)));
    }
}

qint32 DakUploadSession::eventIndexOf(const QString &sEventID) const {
    for (qint32 i = 0; i < m_eventItemData.size() && i < m_eventIds.size(); ++i)
        if (m_eventItemData[i] != -1 && m_eventIds[i] == sEventID)
            return i;
    return -1;
}

bool DakUploadSession::isUploading() const {
    return qobject_cast<UploadJob *>(m_job.data()) != nullptr;
}

bool DakUploadSession::isTesting() const {
    return qobject_cast<ConnectionTestJob *>(m_job.data()) != nullptr;
}

void DakUploadSession::btnTransmit_Click() {
    if (m_job)
        return; // an upload runs: a second click changes nothing
    const qint32 index = m_view.selectedEventIndex();
    if (index < 0 || index >= m_eventItemData.size() || m_eventItemData[index] == -1) {
        ShowMessage(NoEventSelected, true);
        return;
    }
    const QString eventId = index < m_eventIds.size() ? m_eventIds[index] : QString();
    if (eventId.trimmed().isEmpty()) {
        ShowMessage(NoEventSelected, true);
        return;
    }
    auto *job = new UploadJob(m_db, m_meetId, eventId, this);
    job->setDiveOrderCommand(m_view.selectedDiveOrderCommand());
    connect(job, &ConsoleJob::stateChanged, this, &DakUploadSession::uploadStateChanged);
    connect(job, &UploadJob::alert, this, [this](const QString &title, const QString &text) {
        m_view.showMessageBox(title, text);
    });
    connect(job, &UploadJob::frameAcknowledged, this, [this] {
        m_view.setBusyCursor(false);
        m_view.setInputEnabled(true);
    });
    startJob(job);
}

void DakUploadSession::uploadStateChanged(ConsoleJob::State state) {
    if (state == ConsoleJob::State::Preparing) {
        m_view.setBusyCursor(true);
        Yield();
    } else if (state == ConsoleJob::State::Finished) {
        m_view.setBusyCursor(false);
        m_view.setInputEnabled(true);
    }
}

void DakUploadSession::btnTest_Click() {
    if (isUploading()) {
        // Reopening the port would cut the upload off from the console's answers.
        ShowMessage(QStringLiteral("Upload in progress - the connection test was not started"));
        return;
    }
    if (m_job)
        return;
    m_view.setBusyCursor(true);
    Yield();
    auto *job = new ConnectionTestJob(this);
    connect(job, &ConsoleJob::stateChanged, this, &DakUploadSession::testStateChanged);
    connect(job, &ConnectionTestJob::waitTicked, this, [this](int ticks) {
        m_view.setTestCaption(QStringLiteral("Testing ... ") + QString::number(ticks));
    });
    startJob(job);
}

void DakUploadSession::testStateChanged(ConsoleJob::State state) {
    if (state == ConsoleJob::State::Opening) {
        m_view.setTestCaption(QStringLiteral("Testing ..."));
        m_view.setInputEnabled(false);
        Yield();
        return;
    }
    if (state != ConsoleJob::State::Finished)
        return;
    m_view.setBusyCursor(false);
    m_view.setInputEnabled(true);
    switch (m_job->result().kind) {
    case JobResult::Kind::Connected:
    case JobResult::Kind::Rejected:
        m_view.setTestCaption(QStringLiteral("Test"));
        break;
    case JobResult::Kind::PortUnavailable:
    case JobResult::Kind::Failed:
        break; // the caption stays as the test left it
    default:
        m_view.setTestCaption(QStringLiteral("Test conn"));
        break;
    }
}

void DakUploadSession::startJob(ConsoleJob *job) {
    m_job = job;
    job->setCommPort(m_commPort);
    job->setLine(m_line);
    connect(job, &ConsoleJob::message, this, [this](const QString &text) { ShowMessage(text); });
    connect(job, &ConsoleJob::finished, this, &DakUploadSession::jobFinished);
    m_view.clearMessages();
    job->start();
}

void DakUploadSession::jobFinished() {
    if (m_job)
        m_job->deleteLater();
    m_job = nullptr;
}

void DakUploadSession::comPort_OnComm() {
    // Characters received go to the running job through the line, one at a time; the other
    // notifications only reach the log.
    const QString text = notificationText(port()->CommEvent());
    if (text.isEmpty() || !modKavvix::DebugEnabled() || !m_utility)
        return;
    try {
        m_utility->WriteLog(1, QStringLiteral("comPort_OnComm"), text, 0);
    } catch (...) {
        // A log writer that fails here has nowhere to be reported: the notification handler
        // shows no message of its own, as for the received characters' log entries.
    }
}

void DakUploadSession::btnDone_Click() {
    if (m_job)
        m_job->cancel();
    tmrWait()->stop();
    if (port()->isOpen())
        port()->close();
}

bool DakUploadSession::mayClose() {
    if (isUploading()) {
        ShowMessage(QStringLiteral("Upload in progress - press Done to abandon it"));
        return false;
    }
    if (isTesting()) {
        ShowMessage(QStringLiteral("Connection test in progress - please wait for its answer"));
        return false;
    }
    return true;
}

void DakUploadSession::cboCOMport_Click() {
    if (const std::optional<qint16> port = m_view.selectedPort())
        m_commPort = *port;
}

void DakUploadSession::chkDebug_Click(bool bChecked) {
    modKavvix::setDebugEnabled(bChecked);
}

void DakUploadSession::ShowMessage(const QString &sMessage, bool bClearFirst) {
    if (bClearFirst)
        m_view.clearMessages();
    m_view.appendMessage(MessageLine(QTime::currentTime(), sMessage));
}

void DakUploadSession::Yield() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

} // namespace Kavvix
