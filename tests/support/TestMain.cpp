#include <QApplication>
#include <gtest/gtest.h>

// Every test binary runs inside a QApplication on the offscreen platform, so signals, timers,
// serial port notifications and widgets behave as in the host.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The services the tests start read no configuration of the machine's (an installed
    // /etc/kavvix/kavvix.conf), only what a test gives them.
    qputenv("KAVVIX_CONFIG", "");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
