// Runs the window's tests inside one QApplication.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // ctest lists the cases by running this program without the test environment, where there
    // may be no display and no platform plugin to open one: the list needs no application.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    // Run by hand without a platform named, the tests draw off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // A window closed by one case must not end the event loops of message boxes in the next.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
