#include <kavvix/cDakUploadForm.h>

#include "upload/dialog/frmDakUpload.h"

#include <QApplication>

#include <memory>

namespace Kavvix {

cDakUploadForm::cDakUploadForm(QObject *parent) : QObject(parent) {}

void cDakUploadForm::ShowForm(const QSqlDatabase &odbConn, QSqlQuery *rsEvents,
                              const QString &sMeetID) {
    std::unique_ptr<QApplication> ownApplication;
    if (!QCoreApplication::instance()) {
        // QApplication keeps references to these for its whole life.
        static int argc = 1;
        static char name[] = "kavvix";
        static char *argv[] = {name, nullptr};
        ownApplication = std::make_unique<QApplication>(argc, argv);
    } else if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        qWarning("Kavvix: the upload dialog needs a QApplication, not a QCoreApplication");
        return;
    }
    frmDakUpload dialog;
    dialog.ShowForm(odbConn, rsEvents, sMeetID);
}

} // namespace Kavvix
