#include <kavvix/kavvix.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// A host without an application object: ShowForm makes one for the dialog's lifetime.

namespace {

int g_shown = 0;
QString g_meetName;

// Once the upload dialog is shown (looked for every 10 ms while the application lasts), notes
// its meet name and presses its Done button.
void pressDoneWhenShown() {
    QTimer::singleShot(10, qApp, [] {
        QWidget *form = QApplication::activeModalWidget();
        if (!form || form->objectName() != QLatin1String("frmDakUpload"))
            return pressDoneWhenShown();
        ++g_shown;
        g_meetName = form->findChild<QLabel *>(QStringLiteral("lblMeetName"))->text();
        QTest::mouseClick(form->findChild<QPushButton *>(QStringLiteral("btnDone")),
                          Qt::LeftButton);
    });
}

} // namespace

TEST(NoApplication, ShowFormRunsTheDialogInAnApplicationOfItsOwn) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    qAddPreRoutine([] { pressDoneWhenShown(); }); // runs in every QApplication constructor
    for (int call = 1; call <= 2; ++call) {
        QObject *form = Kavvix::createObject(QStringLiteral("Kavvix.cDakUploadForm"));
        ASSERT_NE(form, nullptr);
        // No database can be opened without an application: the meet name reads "Unknown".
        QMetaObject::invokeMethod(form, "ShowForm", Q_ARG(QSqlDatabase, QSqlDatabase()),
                                  Q_ARG(QSqlQuery *, nullptr), Q_ARG(QString, "RIV26"));
        delete form;
        EXPECT_EQ(g_shown, call);
        EXPECT_EQ(g_meetName, QStringLiteral("Unknown"));
        EXPECT_EQ(QCoreApplication::instance(), nullptr);
    }
}
