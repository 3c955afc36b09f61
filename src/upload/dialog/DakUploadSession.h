#pragma once

#include "upload/DiveSheetPackets.h"

#include <kavvix/cUtility.h>

#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTime>

#include <exception>
#include <memory>
#include <vector>

class QTimer;

namespace Kavvix {

class DakUploadView;
class cDakProcessor;
class cDakResponse;
class comPort;

// The upload dialog's behaviour without widgets: the event list, the upload of an event's
// dive sheets frame by frame with the console's acknowledgements, the connection test, the
// one-second wait timer and the routing of received characters. The handlers keep the names
// of the controls and events they serve; everything shown goes through the view.
//
// Headless use (command-line tool): give it a TextUploadView, call Form_Load, choose port,
// event and dive order on the view, call cboCOMport_Click, then btnTransmit_Click or
// btnTest_Click, and waitUntilIdle(); the message lines are in the view.
class DakUploadSession : public QObject {
    Q_OBJECT

public:
    static constexpr int WaitIntervalMs = 1000;
    static constexpr qint16 UploadTimeoutTicks = 6; // the 7th tick ends an upload's wait
    static constexpr qint16 TestTimeoutTicks = 5;   // the 6th tick ends a test's wait
    static inline const QString LineSettings = QStringLiteral("9600,e,8,1");
    // The dialog's caption, also the title of its error boxes.
    static inline const QString Caption = QStringLiteral("Upload To Daktronics OmniSport 2000");

    // The wait timer and the port are created as children of controlsParent (named tmrWait
    // and comPort), or of the session when none is given.
    explicit DakUploadSession(DakUploadView &view, QObject *controlsParent = nullptr);
    ~DakUploadSession() override;

    // Load: keeps the meet and connection, creates the log writer, resets the state and shows
    // the meet name. Then LoadEvents() fills the event list.
    void Form_Load(const QSqlDatabase &odbConn, const QString &sMeetID);
    void LoadEvents();
    // List index of the event with this identifier, -1 when it is not listed.
    qint32 eventIndexOf(const QString &sEventID) const;

    // The operator's actions.
    void btnTransmit_Click();
    void btnTest_Click();
    void btnDone_Click();
    void cboCOMport_Click();
    void chkDebug_Click(bool bChecked);

    // Appends "<time of day> <sMessage>" to the message list, clearing it first if asked.
    void ShowMessage(const QString &sMessage, bool bClearFirst = false);
    // The message list line for a text shown at a time of day.
    static QString MessageLine(QTime time, const QString &sMessage);
    // The diagnostic log line of a received character.
    static QString CharacterLine(QChar c);

    bool UploadEvent(const QString &sEventID);

    qint16 CommPort() const { return m_iCommPort; }
    bool isBusy() const { return m_bBusy; }
    bool isTesting() const { return m_bTesting; }
    bool isUploading() const { return m_bUploading; }
    // Neither an upload nor a test is waiting for the console.
    bool isIdle() const;
    // Runs the event loop until isIdle().
    void waitUntilIdle();

    QTimer *tmrWait() const { return m_tmrWait; }
    comPort *port() const { return m_comPort; }

private:
    void tmrWait_Timer();
    void comPort_OnComm();
    void SendNextPacket();
    void m_oDakResp_ResponseOK();
    void m_oDakResp_PacketError(const QString &sErrMessage);
    void m_oDakRcv_SoftwareVersion(const QString &sVersion);
    void m_oDakRcv_COMMError(const QString &sErrMessage);

    // The end of a test by the console's answer (reply or error event), message last.
    void EndTest(const QString &sMessage);
    // EndTest for an event handler of the test's processor; a failure is written as log point
    // failureLogPoint, whatever the log switch says.
    void EndTest(const QString &sMessage, qint32 failureLogPoint, const QString &handler,
                 const QString &eventText);
    void ResetFlags();
    void ReleaseResponse();
    // Takes a replaced receiver out of service. It is deleted only once no port notification
    // is being handled, since its own AddChar may still be on the stack beneath a yield.
    void Retire(QObject *receiver);
    void DeleteRetired();
    void ClosePort();
    void WriteLog(qint32 number, const QString &procedure, const QString &message);
    // For the failure paths of the test's event handlers: a log writer's own failure is dropped.
    void WriteFailureLog(qint32 number, const QString &procedure, const QString &message) noexcept;
    // Lets pending window events run (port notifications, timer ticks, clicks, repaints).
    static void Yield();

    DakUploadView &m_view;
    QTimer *m_tmrWait;
    comPort *m_comPort;

    QSqlDatabase m_odbConn;
    QString m_sMeetID;
    QStringList m_asEventID;
    QList<qint32> m_eventItemData; // item data of each event list entry, as listed
    std::unique_ptr<cUtility> m_oUtil;
    qint16 m_iCommPort = 1;
    bool m_bTesting = false;
    bool m_bUploading = false;
    bool m_bBusy = false;

    DiveSheetPackets m_packets;
    QStringList m_asPackets;
    qint16 m_iPacket = -1;
    qint16 m_iLastPacket = -1;
    qint16 m_iWaitTicks = 0;
    QPointer<cDakResponse> m_oDakResp;
    QPointer<cDakProcessor> m_oDakRcv;
    std::vector<std::unique_ptr<QObject>> m_retired;
    int m_onCommDepth = 0; // port notifications being handled, nested through yields
};

} // namespace Kavvix
