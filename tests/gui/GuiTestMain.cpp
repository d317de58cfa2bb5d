#include <QApplication>
#include <gtest/gtest.h>

// GUI tests drive the real widgets; they need one QApplication for the whole run.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // What the window remembers goes to each test's own home, never to the user's settings.
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
