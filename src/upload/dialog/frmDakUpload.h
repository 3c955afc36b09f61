#pragma once

#include "upload/dialog/DakUploadView.h"

#include <QDialog>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>

namespace Ui {
class frmDakUpload;
}

namespace Kavvix {

class DakUploadSession;

// The upload dialog: the controls of frmDakUpload.ui, each named as its control, driving a
// DakUploadSession. Also owns, as children, the wait timer "tmrWait" and the port "comPort".
class frmDakUpload : public QDialog, public DakUploadView {
    Q_OBJECT

public:
    explicit frmDakUpload(QWidget *parent = nullptr);
    ~frmDakUpload() override;

    // The load steps (meet name, dive orders, ports, events); false when one failed, after
    // its message box. rsEvents is not read: the list always comes from the meet database.
    bool Form_Load(const QSqlDatabase &odbConn, QSqlQuery *rsEvents, const QString &sMeetID);
    // Form_Load, then modal display until Done or the window is closed.
    void ShowForm(const QSqlDatabase &odbConn, QSqlQuery *rsEvents, const QString &sMeetID);

    // Selects the port entry of iPort, else the first entry.
    void SelectPort(qint16 iPort);

    DakUploadSession &session() const { return *m_session; }

    // DakUploadView
    void clearMessages() override;
    void appendMessage(const QString &line) override;
    void setMeetName(const QString &name) override;
    void clearEvents() override;
    void addEvent(const QString &name, qint32 itemData) override;
    qint32 selectedEventIndex() const override;
    void setTestCaption(const QString &caption) override;
    void setInputEnabled(bool enabled) override;
    void setBusyCursor(bool busy) override;
    void showMessageBox(const QString &title, const QString &text) override;
    QString selectedDiveOrderCommand() const override;
    std::optional<qint16> selectedPort() const override;

public slots:
    void reject() override;

private:
    void FillDiveOrders();
    void btnDone_Click();
    void btnHelp_Click();

    std::unique_ptr<Ui::frmDakUpload> ui;
    std::unique_ptr<DakUploadSession> m_session;
    bool m_busyCursor = false;
};

} // namespace Kavvix
