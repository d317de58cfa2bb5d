#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Settings go to a configuration folder of the test's own, never the user's.
class Remember : public ::testing::Test {
protected:
    Remember() : config(home.path() + "/config") { setenv("XDG_CONFIG_HOME", config.c_str(), 1); }
    ~Remember() override { unsetenv("XDG_CONFIG_HOME"); }

    TempHome home;
    std::string config;
};

// Hands the file dialog, once it is up, to `answer`.
void whenPanel(std::function<void(QFileDialog*)> answer, int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        if (auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            answer(panel);
        } else if (attempts > 0) {
            whenPanel(answer, attempts - 1);
        }
    });
}

TEST_F(Remember, TheWindowsSizeAndTheLastFolderOutliveTheRun) {
    const QSize chosen(720, 530);
    {
        FrontEnd first;
        first.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first.window()));
        ASSERT_NE(first.window().size(), chosen);
        first.window().resize(chosen);
        QTest::qWait(50);
    }
    EXPECT_TRUE(std::filesystem::exists(config + "/Corvane/Corvane.conf"));
    FrontEnd second;
    second.start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second.window()));
    EXPECT_EQ(second.window().size(), chosen);

    // The folder an item was picked from is where the next run's panel opens.
    home.file("Tools/Notes.txt", "notes");
    const QString tools = QString::fromStdString(home.path() + "/Tools");
    {
        QtOpenPanel panel(&second.window());
        whenPanel([&](QFileDialog* dialog) {
            dialog->selectFile(tools + "/Notes.txt");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        ASSERT_TRUE(panel.runModal({"Pick", false, true}));
    }
    QtOpenPanel later(&second.window());
    QString opened;
    whenPanel([&](QFileDialog* dialog) {
        opened = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_FALSE(later.runModal({"Pick", false, true}));
    EXPECT_EQ(opened, tools);
}

} // namespace
} // namespace corvane::testing
