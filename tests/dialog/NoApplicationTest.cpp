#include "DialogCloser.h"

#include <kavvix/kavvix.h>

#include <QLabel>
#include <gtest/gtest.h>

// A host without an application object: ShowForm makes one for the dialog's lifetime.

namespace {

int g_shown = 0;
QString g_meetName;

// Runs inside every QApplication constructor, once the application exists.
void pressDoneOnTheDialog() {
    KavvixTest::pressDoneWhenShown([](QDialog &dialog) {
        ++g_shown;
        g_meetName = dialog.findChild<QLabel *>(QStringLiteral("lblMeetName"))->text();
    });
}

} // namespace

TEST(NoApplication, ShowFormRunsTheDialogInAnApplicationOfItsOwn) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    qAddPreRoutine(&pressDoneOnTheDialog);
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

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
