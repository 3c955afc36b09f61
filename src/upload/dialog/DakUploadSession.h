#pragma once

#include <kavvix/ConsoleJob.h>
#include <kavvix/ConsoleLine.h>
#include <kavvix/cUtility.h>

#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTime>

#include <memory>

class QTimer;

namespace Kavvix {

class DakUploadView;
class comPort;

// The upload dialog's behaviour without widgets: the event list, the operator's actions and
// what the window shows while an upload or a connection test runs. The upload and the test
// themselves are jobs (UploadJob, ConnectionTestJob) on the dialog's line (its port and wait
// timer), which has no receiver of its own: between jobs nothing is read and the port is closed;
// class starts them and turns what they report into the message list, the busy pointer, the
// test button's caption and the window's input state. The handlers keep the names of the
// controls they serve; everything shown goes through the view.
class DakUploadSession : public QObject {
    Q_OBJECT

public:
    static constexpr int WaitIntervalMs = ConsoleJob::WaitIntervalMs;
    // The dialog's caption, also the title of its error boxes.
    static inline const QString Caption = QStringLiteral("Upload To Daktronics OmniSport 2000");

    // The line, with its wait timer and port (named tmrWait and comPort), is created as a child
    // of controlsParent, or of the session when none is given.
    explicit DakUploadSession(DakUploadView &view, QObject *controlsParent = nullptr);
    ~DakUploadSession() override;

    // Load: keeps the meet and connection, creates the log writer and shows the meet name.
    // Then LoadEvents() fills the event list.
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
    // Esc or the window's close button: refused, with a message line saying why, while an
    // upload or a test runs; true when the window may close.
    bool mayClose();

    // Appends "<time of day> <sMessage>" to the message list, clearing it first if asked.
    void ShowMessage(const QString &sMessage, bool bClearFirst = false);
    // The message list line for a text shown at a time of day.
    static QString MessageLine(QTime time, const QString &sMessage) {
        return modKavvix::MessageLine(time, sMessage);
    }

    qint16 CommPort() const { return m_commPort; }
    // An upload runs (the upload button does nothing meanwhile).
    bool isBusy() const { return isUploading(); }
    bool isUploading() const;
    bool isTesting() const;
    // Neither an upload nor a test runs.
    bool isIdle() const { return !m_job; }

    QTimer *tmrWait() const { return &m_line->waitTimer(); }
    comPort *port() const { return &m_line->port(); }

private:
    // Runs a job on the dialog's port and timer; its messages go to the list.
    void startJob(ConsoleJob *job);
    void jobFinished();
    void uploadStateChanged(ConsoleJob::State state);
    void testStateChanged(ConsoleJob::State state);
    void comPort_OnComm();
    // Lets the window show what just changed (layout, repaint) before a step that may take a
    // while. Port notifications, timer ticks and clicks wait for the event loop, so nothing
    // runs in the middle of an upload's or a test's step.
    static void Yield();

    DakUploadView &m_view;
    ConsoleLine *m_line;

    QSqlDatabase m_db;
    QString m_meetId;
    QStringList m_eventIds;
    QList<qint32> m_eventItemData; // item data of each event list entry, as listed
    std::unique_ptr<cUtility> m_utility;
    qint16 m_commPort = 1;
    QPointer<ConsoleJob> m_job; // the upload or test running, null when idle
};

} // namespace Kavvix
