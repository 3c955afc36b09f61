#include "upload/dialog/DakUploadSession.h"

#include "common/NumericText.h"
#include "upload/EventValidator.h"
#include "upload/dialog/DakUploadView.h"
#include <kavvix/comPort.h>

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/modKavvix.h>

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>

namespace Kavvix {

namespace {

const QString NoEventSelected = QStringLiteral("Unable to process - No event selected");
const QString AllDataSent = QStringLiteral("All data has been sent");
// The error source named in log points 101 and 102.
const QString ErrorSource = QStringLiteral("Kavvix");

// Log texts of the port notifications other than characters received.
QString notificationText(qint16 kind) {
    switch (kind) {
    case 1:
        return QStringLiteral("comm send event");
    case 3:
        return QStringLiteral("change in clear-to-send line");
    case 4:
        return QStringLiteral("change in data set ready line");
    case 5:
        return QStringLiteral("change in carrier detect line");
    case 6:
        return QStringLiteral("comm ring detect");
    case 7:
        return QStringLiteral("comm end of file");
    default:
        return {};
    }
}

} // namespace

DakUploadSession::DakUploadSession(DakUploadView &view, QObject *controlsParent)
    : m_view(view), m_tmrWait(new QTimer(controlsParent ? controlsParent : this)),
      m_comPort(new comPort(controlsParent ? controlsParent : this)) {
    m_tmrWait->setObjectName(QStringLiteral("tmrWait"));
    m_tmrWait->setInterval(WaitIntervalMs);
    m_comPort->setObjectName(QStringLiteral("comPort"));
    connect(m_tmrWait, &QTimer::timeout, this, &DakUploadSession::tmrWait_Timer);
    connect(m_comPort, &comPort::OnComm, this, &DakUploadSession::comPort_OnComm);
}

DakUploadSession::~DakUploadSession() {
    // The timer and the port may outlive the session (children of the dialog): detach them.
    m_tmrWait->stop();
    disconnect(m_tmrWait, nullptr, this, nullptr);
    disconnect(m_comPort, nullptr, this, nullptr);
    ClosePort();
}

void DakUploadSession::Form_Load(const QSqlDatabase &odbConn, const QString &sMeetID) {
    m_odbConn = odbConn;
    m_oUtil = createUtility();
    m_sMeetID = sMeetID;
    m_bTesting = false;
    m_bUploading = false;
    m_iCommPort = 1;
    m_view.setMeetName(modKavvix::GetMeetName(sMeetID, m_odbConn));
}

void DakUploadSession::LoadEvents() {
    int step = 1;
    try {
        m_view.clearEvents();
        m_eventItemData.clear();
        m_view.addEvent(QStringLiteral("<No Events Found>"), -1);
        m_eventItemData << -1;

        step = 2;
        const std::unique_ptr<QSqlQuery> rs = modKavvix::GetMeetEvents(m_sMeetID, m_odbConn);
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
        m_asEventID.resize(qMax(m_asEventID.size(), rows + 1));

        step = 5;
        do {
            m_view.addEvent(m_oUtil->ToText(rs->value(QStringLiteral("EventName"))), 0);
            m_eventItemData << 0;
            m_asEventID[m_eventItemData.size() - 1] =
                m_oUtil->ToText(rs->value(QStringLiteral("EventID")));
        } while (rs->next());
    } catch (const std::exception &e) {
        m_view.showMessageBox(Caption, QStringLiteral("Error filling list of events: %1[%2]%3")
                                           .arg(Error::codeOf(e))
                                           .arg(step)
                                           .arg(Error::describe(e)));
    }
}

qint32 DakUploadSession::eventIndexOf(const QString &sEventID) const {
    for (qint32 i = 0; i < m_eventItemData.size() && i < m_asEventID.size(); ++i)
        if (m_eventItemData[i] != -1 && m_asEventID[i] == sEventID)
            return i;
    return -1;
}

void DakUploadSession::btnTransmit_Click() {
    if (m_bBusy)
        return;
    const qint32 index = m_view.selectedEventIndex();
    if (index < 0 || index >= m_eventItemData.size() || m_eventItemData[index] == -1) {
        ShowMessage(NoEventSelected, true);
        return;
    }
    const QString sEventID = index < m_asEventID.size() ? m_asEventID[index] : QString();
    if (sEventID.trimmed().isEmpty()) {
        ShowMessage(NoEventSelected, true);
        return;
    }
    const MessageSink sink = [this](const QString &sMessage, bool bClearFirst) {
        ShowMessage(sMessage, bClearFirst);
    };
    if (ValidateEvent(m_sMeetID, sEventID, m_odbConn, sink))
        UploadEvent(sEventID);
}

bool DakUploadSession::UploadEvent(const QString &sEventID) {
    try {
        m_view.setBusyCursor(true);
        Yield();
        const std::unique_ptr<QSqlQuery> rsDiveSheets =
            modKavvix::GetDiveSheets(m_sMeetID, sEventID, m_odbConn);
        if (!rsDiveSheets) {
            ShowMessage(QStringLiteral("Process aborted - No dive sheets found for this event"));
            m_view.setBusyCursor(false);
            Yield();
            return false;
        }
        const qint16 last = modKavvix::GetLastDiver(m_sMeetID, sEventID, m_odbConn);
        if (last == 0) {
            ShowMessage(QStringLiteral("Process aborted - diving order is invalid"));
            m_view.setBusyCursor(false);
            Yield();
            return false;
        }
        m_bBusy = true;

        m_packets.InitDiverRows(last);
        m_packets.BuildDiverRows(rsDiveSheets.get());
        m_packets.BuildPackets(m_view.selectedDiveOrderCommand());
        m_asPackets = m_packets.Packets();

        m_iLastPacket = qint16(m_asPackets.size() - 1);
        m_iPacket = -1;
        m_bUploading = true;
        m_bTesting = false;

        ReleaseResponse();
        m_oDakResp = new cDakResponse(this);
        connect(m_oDakResp, &cDakResponse::ResponseOK, this,
                &DakUploadSession::m_oDakResp_ResponseOK);
        connect(m_oDakResp, &cDakResponse::PacketError, this,
                &DakUploadSession::m_oDakResp_PacketError);

        ClosePort();
        m_comPort->setCommPort(m_iCommPort);
        m_comPort->setSettings(LineSettings);
        m_comPort->open();

        SendNextPacket();
        return true;
    } catch (const std::exception &e) {
        m_view.showMessageBox(QStringLiteral("Problem Transmitting Data"),
                              QStringLiteral("An Unexpected error was encountered - ") +
                                  Error::describe(e));
        ShowMessage(QStringLiteral("Process aborted"));
        m_view.setBusyCursor(false);
        Yield();
        ResetFlags();
        // Nothing more will be sent: leave neither the timer running nor the port open.
        m_tmrWait->stop();
        ClosePort();
        return false;
    }
}

void DakUploadSession::SendNextPacket() {
    m_iWaitTicks = 0;
    ++m_iPacket;
    const QString frame = m_iPacket <= m_iLastPacket ? m_asPackets.at(m_iPacket) : QString();
    if (!frame.isEmpty()) {
        const QString number = QString::number(m_iPacket + 1);
        ShowMessage(QStringLiteral("Sending packet ") + number);
        m_tmrWait->start();
        if (m_comPort->isOpen()) {
            m_comPort->write(frame);
            return;
        }
        m_tmrWait->stop();
        ShowMessage(QStringLiteral("COM port unavailable - unable to transmit packet ") + number);
        ReleaseResponse();
        ResetFlags();
        m_view.setBusyCursor(false);
        Yield();
        return;
    }
    ClosePort();
    ResetFlags();
    ShowMessage(AllDataSent);
}

void DakUploadSession::m_oDakResp_ResponseOK() {
    const QPointer<cDakResponse> receiver = m_oDakResp;
    m_view.setBusyCursor(false);
    Yield();
    // The yield may have ended this upload (a time-out) or started another one.
    if (!m_bUploading || m_oDakResp != receiver)
        return;
    m_view.setInputEnabled(true);
    m_tmrWait->stop();
    try {
        if (m_iPacket != m_iLastPacket) {
            SendNextPacket();
        } else {
            ClosePort();
            ResetFlags();
            ShowMessage(AllDataSent);
        }
    } catch (const std::exception &e) {
        // A frame that cannot be sent ends the upload as a rejected one does.
        m_oDakResp_PacketError(Error::describe(e));
    }
}

void DakUploadSession::m_oDakResp_PacketError(const QString &sErrMessage) {
    const QPointer<cDakResponse> receiver = m_oDakResp;
    m_view.setBusyCursor(false);
    Yield();
    if (!m_bUploading || m_oDakResp != receiver)
        return;
    m_view.setInputEnabled(true);
    m_tmrWait->stop();
    ClosePort();
    ResetFlags();
    ShowMessage(QStringLiteral("Communications ERROR: ") + sErrMessage);
}

void DakUploadSession::tmrWait_Timer() {
    if (m_bTesting) {
        if (m_iWaitTicks == TestTimeoutTicks) {
            m_view.setBusyCursor(false);
            Yield();
            m_bTesting = false;
            m_view.setInputEnabled(true);
            m_tmrWait->stop();
            ClosePort();
            m_view.setTestCaption(QStringLiteral("Test conn"));
            ShowMessage(
                QStringLiteral("No response from OmniSport - Please check your connections"));
        } else {
            ++m_iWaitTicks;
            m_view.setTestCaption(QStringLiteral("Testing ... ") + QString::number(m_iWaitTicks));
        }
    } else if (m_bUploading) {
        if (m_iWaitTicks == UploadTimeoutTicks) {
            ClosePort();
            m_tmrWait->stop();
            ResetFlags();
            m_view.setBusyCursor(false);
            ShowMessage(QStringLiteral("No response received from the OmniSport timer"));
        } else {
            ++m_iWaitTicks;
        }
    }
}

void DakUploadSession::btnTest_Click() {
    int step = 1;
    try {
        m_view.setBusyCursor(true);
        Yield();
        step = 3;
        ShowMessage(QStringLiteral("assigning COM port settings: COM %1, %2")
                        .arg(m_iCommPort)
                        .arg(LineSettings),
                    true);
        step = 4;
        m_tmrWait->stop();
        step = 5;
        ClosePort();
        step = 6;
        m_comPort->setCommPort(m_iCommPort);
        m_comPort->setSettings(LineSettings);
        step = 7;
        m_bTesting = true;
        m_iWaitTicks = 0;
        step = 8;
        Retire(m_oDakRcv);
        m_oDakRcv = new cDakProcessor(this);
        connect(m_oDakRcv, &cDakProcessor::SoftwareVersion, this,
                &DakUploadSession::m_oDakRcv_SoftwareVersion);
        connect(m_oDakRcv, &cDakProcessor::COMMError, this, &DakUploadSession::m_oDakRcv_COMMError);
        step = 9;
        const QString request = m_oDakRcv->SoftwareVersionRequest();
        step = 10;
        m_view.setTestCaption(QStringLiteral("Testing ..."));
        step = 11;
        m_view.setInputEnabled(false);
        Yield();
        step = 12;
        m_comPort->open();
        step = 13;
        m_tmrWait->start();
        step = 14;
        ShowMessage(QStringLiteral("Message sent to OmniSport, waiting for reply ..."));
        step = 15;
        m_comPort->write(request);
    } catch (const std::exception &e) {
        ShowMessage(QStringLiteral("UNEXPECTED ERROR: [%1] %2").arg(step).arg(Error::describe(e)));
        m_tmrWait->stop();
        m_view.setInputEnabled(true);
        m_view.setBusyCursor(false);
    }
}

void DakUploadSession::m_oDakRcv_SoftwareVersion(const QString &sVersion) {
    EndTest(QStringLiteral("Connection Successful - ") + sVersion, 102,
            QStringLiteral("m_oDakRcv_SoftwareVersion:"), sVersion);
}

void DakUploadSession::m_oDakRcv_COMMError(const QString &sErrMessage) {
    EndTest(QStringLiteral("Communications ERROR: ") + sErrMessage, 101,
            QStringLiteral("m_oDakRcv_COMMError:"), sErrMessage);
}

void DakUploadSession::EndTest(const QString &sMessage, qint32 failureLogPoint,
                               const QString &handler, const QString &eventText) {
    // A failing step skips the rest and is only logged: the operator sees nothing of it.
    try {
        EndTest(sMessage);
    } catch (const std::exception &e) {
        WriteFailureLog(failureLogPoint, handler + ErrorSource,
                        Error::describe(e) + u':' + eventText);
    }
}

void DakUploadSession::EndTest(const QString &sMessage) {
    const QPointer<cDakProcessor> receiver = m_oDakRcv;
    m_view.setBusyCursor(false);
    Yield();
    // The yield may have ended this test (a time-out) or started another one.
    if (!m_bTesting || m_oDakRcv != receiver)
        return;
    m_view.setInputEnabled(true);
    m_tmrWait->stop();
    ClosePort();
    m_view.setTestCaption(QStringLiteral("Test"));
    m_bTesting = false;
    m_bUploading = false;
    ShowMessage(sMessage);
}

void DakUploadSession::comPort_OnComm() {
    ++m_onCommDepth;
    const auto leave = qScopeGuard([this] {
        --m_onCommDepth;
        DeleteRetired();
    });
    try {
        const qint16 kind = m_comPort->CommEvent();
        if (kind == comPort::Received) {
            if (m_bUploading) {
                const QString c = m_comPort->readChar();
                if (!c.isEmpty() && m_oDakResp)
                    m_oDakResp->AddChar(c);
            }
            if (m_bTesting) {
                const QString c = m_comPort->readChar(); // a read of its own
                if (c.isEmpty())
                    return;
                // A log writer that fails must not cost the test its character.
                if (modKavvix::DebugEnabled())
                    WriteFailureLog(1, QStringLiteral("comPort_OnComm"), CharacterLine(c.front()));
                if (m_oDakRcv)
                    m_oDakRcv->AddChar(c);
            }
            return;
        }
        const QString text = notificationText(kind);
        if (!text.isEmpty() && modKavvix::DebugEnabled())
            WriteLog(1, QStringLiteral("comPort_OnComm"), text);
    } catch (const std::exception &e) {
        // A failure inside a receiver (its log writer) must not leave the event loop.
        ShowMessage(QStringLiteral("UNEXPECTED ERROR: [comPort_OnComm] ") + Error::describe(e));
    }
}

void DakUploadSession::btnDone_Click() {
    if (m_tmrWait->isActive())
        m_tmrWait->stop();
    ClosePort();
}

void DakUploadSession::cboCOMport_Click() {
    if (const std::optional<qint16> port = m_view.selectedPort())
        m_iCommPort = *port;
}

void DakUploadSession::chkDebug_Click(bool bChecked) {
    modKavvix::setDebugEnabled(bChecked);
}

void DakUploadSession::ShowMessage(const QString &sMessage, bool bClearFirst) {
    if (bClearFirst)
        m_view.clearMessages();
    m_view.appendMessage(MessageLine(QTime::currentTime(), sMessage));
}

QString DakUploadSession::MessageLine(QTime time, const QString &sMessage) {
    // The locale's long time format, without the time zone it may carry ("t"): a time of day
    // for the operator, as the clock on the wall shows it.
    static const QString format = QLocale::system()
                                      .timeFormat(QLocale::LongFormat)
                                      .remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")))
                                      .trimmed();
    return QLocale::system().toString(time, format) + u' ' + sMessage;
}

QString DakUploadSession::CharacterLine(QChar c) {
    const int code = c.unicode() & 0xFF; // one byte per character on the line
    const double value = NumericText::valueOf(QStringView(&c, 1));
    return QStringLiteral("com port input: char->") + c + QStringLiteral(": Asc->") +
           QString::number(code) + QStringLiteral(": Val->") + NumericText::plainDecimal(value) +
           QStringLiteral(": Hex->") + QString::number(code, 16).toUpper() + u':';
}

bool DakUploadSession::isIdle() const {
    return !m_bBusy && !(m_bTesting && m_tmrWait->isActive());
}

void DakUploadSession::waitUntilIdle() {
    while (!isIdle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void DakUploadSession::ResetFlags() {
    m_bTesting = false;
    m_bUploading = false;
    m_bBusy = false;
}

void DakUploadSession::ReleaseResponse() {
    Retire(m_oDakResp);
    m_oDakResp = nullptr;
}

void DakUploadSession::Retire(QObject *receiver) {
    if (!receiver)
        return;
    receiver->disconnect(this);
    m_retired.emplace_back(receiver);
    DeleteRetired();
}

void DakUploadSession::DeleteRetired() {
    if (m_onCommDepth == 0)
        m_retired.clear();
}

void DakUploadSession::ClosePort() {
    if (m_comPort->isOpen())
        m_comPort->close();
}

void DakUploadSession::WriteLog(qint32 number, const QString &procedure, const QString &message) {
    if (m_oUtil)
        m_oUtil->WriteLog(number, procedure, message, 0);
}

void DakUploadSession::WriteFailureLog(qint32 number, const QString &procedure,
                                       const QString &message) noexcept {
    try {
        WriteLog(number, procedure, message);
    } catch (...) {
        // Nowhere left to report it: the handler runs inside the event loop.
    }
}

void DakUploadSession::Yield() {
    QCoreApplication::processEvents();
}

} // namespace Kavvix
