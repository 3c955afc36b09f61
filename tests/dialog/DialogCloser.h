#pragma once

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace KavvixTest {

// Once the upload dialog is shown (looked for every 10 ms, for at most 20 s), runs `inspect`
// on it and presses its Done button. Needs a running application object.
inline void pressDoneWhenShown(std::function<void(QDialog &)> inspect = {}, int triesLeft = 2000) {
    QTimer::singleShot(10, qApp, [inspect, triesLeft] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (dialog && dialog->objectName() == QLatin1String("frmDakUpload") &&
                dialog->isVisible()) {
                if (inspect)
                    inspect(*dialog);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnDone")),
                                  Qt::LeftButton);
                return;
            }
        }
        if (triesLeft > 0)
            pressDoneWhenShown(inspect, triesLeft - 1);
    });
}

} // namespace KavvixTest
