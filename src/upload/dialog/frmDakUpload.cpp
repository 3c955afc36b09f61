#include "upload/dialog/frmDakUpload.h"

#include "omnisport/CommandCodes.h"
#include "ui_frmDakUpload.h"
#include "upload/dialog/DakUploadSession.h"

#include <kavvix/Error.h>
#include <kavvix/PortList.h>
#include <kavvix/PortTable.h>

#include <QApplication>
#include <QMessageBox>

namespace Kavvix {

frmDakUpload::frmDakUpload(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmDakUpload>()) {
    ui->setupUi(this);
    setWindowTitle(DakUploadSession::Caption);
    m_session = std::make_unique<DakUploadSession>(*this, this);
    DakUploadSession *s = m_session.get();
    connect(ui->btnTransmit, &QPushButton::clicked, s, &DakUploadSession::btnTransmit_Click);
    connect(ui->btnTest, &QPushButton::clicked, s, &DakUploadSession::btnTest_Click);
    connect(ui->btnDone, &QPushButton::clicked, this, &frmDakUpload::btnDone_Click);
    connect(ui->btnHelp, &QPushButton::clicked, this, &frmDakUpload::btnHelp_Click);
    connect(ui->chkDebug, &QCheckBox::clicked, s,
            [this, s] { s->chkDebug_Click(ui->chkDebug->checkState() == Qt::Checked); });
    connect(ui->cboCOMport, &QComboBox::currentIndexChanged, s,
            &DakUploadSession::cboCOMport_Click);
}

frmDakUpload::~frmDakUpload() {
    m_session.reset(); // stops the timer and closes the port while both still exist
    setBusyCursor(false);
}

bool frmDakUpload::Form_Load(const QSqlDatabase &odbConn, QSqlQuery *, const QString &sMeetID) {
    int step = 1;
    try {
        m_session->Form_Load(odbConn, sMeetID); // steps 1 to 4: meet, state, meet name
        step = 5;
        FillDiveOrders();
        step = 6;
        modKavvix::FillPortList(ui->cboCOMport);
        step = 7;
        SelectPort(1);
        step = 8;
        m_session->LoadEvents();
        return true;
    } catch (const std::exception &e) {
        showMessageBox(DakUploadSession::Caption, QStringLiteral("Error showing form: %1 [%2] %3")
                                                      .arg(Error::codeOf(e))
                                                      .arg(step)
                                                      .arg(Error::describe(e)));
        return false;
    }
}

void frmDakUpload::ShowForm(const QSqlDatabase &odbConn, QSqlQuery *rsEvents,
                            const QString &sMeetID) {
    if (Form_Load(odbConn, rsEvents, sMeetID))
        exec();
}

void frmDakUpload::FillDiveOrders() {
    ui->cboDiveOrder->clear();
    for (const CommandCodes::UploadOrder &order : CommandCodes::UploadOrders)
        ui->cboDiveOrder->addItem(QString(QChar(order.letter)), order.command.toInt());
    ui->cboDiveOrder->setCurrentIndex(0);
}

void frmDakUpload::SelectPort(qint16 iPort) {
    QComboBox *combo = ui->cboCOMport;
    const int match = combo->findData(int(iPort));
    if (match >= 0) {
        combo->setCurrentIndex(match);
        return;
    }
    if (combo->count() == 0)
        return; // the port number keeps its value
    combo->setCurrentIndex(0);
    m_session->cboCOMport_Click();
}

void frmDakUpload::btnDone_Click() {
    m_session->btnDone_Click();
    QDialog::accept(); // hides the dialog, which ends the modal display
}

void frmDakUpload::reject() {
    // Esc or the close button must not silently abandon an upload or a test: only Done does.
    if (!m_session->mayClose())
        return;
    m_session->btnDone_Click();
    QDialog::reject();
}

void frmDakUpload::btnHelp_Click() {
    QMessageBox::information(
        this, QStringLiteral("Help"),
        QStringLiteral("1. Select the event to upload.\n"
                       "2. Choose the OmniSport dive order (A to D) set up on the timer.\n"
                       "3. Choose the COM port the timer's cable is connected to; \"Test conn\" "
                       "asks the timer for its software version to check the connection.\n"
                       "4. Click \"Upload this Event\". The list below shows each step; "
                       "the upload is finished when it reads \"All data has been sent\"."));
}

void frmDakUpload::clearMessages() {
    ui->lstMsgs->clear();
}

void frmDakUpload::appendMessage(const QString &line) {
    ui->lstMsgs->addItem(line);
    // Select the new line so the list scrolls to it, then leave nothing highlighted.
    ui->lstMsgs->setCurrentRow(ui->lstMsgs->count() - 1);
    ui->lstMsgs->clearSelection();
}

void frmDakUpload::setMeetName(const QString &name) {
    // A plain-text label without a buddy shows an ampersand as itself.
    ui->lblMeetName->setText(name);
}

void frmDakUpload::clearEvents() {
    ui->lstEvents->clear();
}

void frmDakUpload::addEvent(const QString &name, qint32 itemData) {
    auto *item = new QListWidgetItem(name, ui->lstEvents);
    item->setData(Qt::UserRole, itemData);
}

qint32 frmDakUpload::selectedEventIndex() const {
    const QList<QListWidgetItem *> selected = ui->lstEvents->selectedItems();
    return selected.isEmpty() ? -1 : ui->lstEvents->row(selected.front());
}

void frmDakUpload::setTestCaption(const QString &caption) {
    ui->btnTest->setText(caption);
}

void frmDakUpload::setInputEnabled(bool enabled) {
    setEnabled(enabled);
}

void frmDakUpload::setBusyCursor(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmDakUpload::showMessageBox(const QString &title, const QString &text) {
    QMessageBox::information(this, title, text);
}

QString frmDakUpload::selectedDiveOrderCommand() const {
    const QComboBox *combo = ui->cboDiveOrder;
    return combo->currentIndex() < 0 ? CommandCodes::DefaultUpload.toString()
                                     : QString::number(combo->currentData().toInt());
}

std::optional<qint16> frmDakUpload::selectedPort() const {
    const QComboBox *combo = ui->cboCOMport;
    if (combo->currentIndex() < 0)
        return std::nullopt;
    return qint16(combo->currentData().toInt());
}

} // namespace Kavvix
