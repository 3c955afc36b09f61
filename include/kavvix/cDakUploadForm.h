#pragma once

#include <kavvix/export.h>

#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace Kavvix {

// The host's entry to the upload dialog: shows the meet's events, tests the serial connection
// to the timing console and uploads the dive sheets of the chosen event to it.
class KAVVIX_EXPORT cDakUploadForm : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE explicit cDakUploadForm(QObject *parent = nullptr);

    // Shows the dialog for meet sMeetID of the host's database modally and returns when the
    // operator has pressed Done or closed it. rsEvents is accepted and not read (the event
    // list comes from the database). A host without an application object gets one for the
    // dialog's lifetime; a host whose application object is not a widget application cannot
    // show the dialog, and the call returns at once with a warning.
    Q_INVOKABLE void ShowForm(const QSqlDatabase &odbConn, QSqlQuery *rsEvents,
                              const QString &sMeetID);
};

} // namespace Kavvix
