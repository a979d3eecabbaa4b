// Runs the viewer's window tests inside one QApplication.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // ctest lists the cases by running this program without the test environment; with no
    // display that would abort in QApplication.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // A window closed by one case must not end the event loops of message boxes in the next.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
