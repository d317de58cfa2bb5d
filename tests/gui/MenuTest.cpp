#include "BuildInfo.h"
#include "app/Application.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

// Closes the file dialog once it is up and notes that it came.
void noteOpenPanel(bool* came, int attempts = 300) {
    QTimer::singleShot(10, qApp, [=] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            *came = true;
            dialog->reject();
        } else if (attempts > 0) {
            noteOpenPanel(came, attempts - 1);
        }
    });
}

TEST(Menus, ItemsFollowTheirControlsAndTheShortcutReachesTheChooser) {
    TempHome home;
    const std::string id = "org.corvane.test.Menu" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Example.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    home.file("Library/Preferences/" + id + ".plist");
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // Every item is named by its text, as a screen reader reads it, and sits in a menu.
    for (QAction* item : {window.chooseAction(), window.restoreAction(), window.quitAction(),
                          window.updateAction(), window.aboutAction()}) {
        EXPECT_FALSE(item->text().isEmpty());
        EXPECT_FALSE(item->associatedObjects().isEmpty());
    }
    const auto follows = [&] {
        EXPECT_EQ(window.chooseAction()->isEnabled(), window.chooseButton()->isEnabled());
        EXPECT_EQ(window.restoreAction()->isEnabled(), window.restoreButton()->isEnabled());
        EXPECT_EQ(window.updateAction()->isEnabled(), window.updateButton()->isEnabled());
    };
    follows();
    EXPECT_TRUE(window.chooseAction()->isEnabled());

    // While Corvane works, the shortcut is input like any other, and dropped.
    Application& application = frontEnd.delegate().windowParts().application;
    bool came = false;
    noteOpenPanel(&came, 30);
    application.beginBusy(false);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    application.endBusy();
    QTest::qWait(400);
    EXPECT_FALSE(came) << "a shortcut made while busy acted";

    noteOpenPanel(&came);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return came; }, 3000)) << "Ctrl+O did not reach the chooser";

    // With an application chosen the magnifier is gone, but choosing another stays open.
    frontEnd.delegate().chooseAppAtPath(bundle);
    EXPECT_TRUE(window.chooseButton()->isHidden());
    follows();
    came = false;
    noteOpenPanel(&came);
    // The offscreen platform leaves no window active once the panel closed; a desktop would.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return came; }, 3000)) << "Ctrl+O was refused";
    QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
    follows();
    EXPECT_TRUE(window.chooseAction()->isEnabled());
}

TEST(Menus, AboutNamesTheVersionTheLicenceTheCopyrightAndLinksThePage) {
    TempHome home;
    FrontEnd frontEnd;
    frontEnd.start();
    QString shown;
    QTimer::singleShot(50, qApp, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text() + "\n" + box->informativeText();
            box->accept();
        }
    });
    frontEnd.window().aboutAction()->trigger();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(build::kVersion))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("GPL-3.0-or-later"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(build::kCopyright))) << shown.toStdString();
    // The project's page is a secure address, and a link rather than text to copy.
    EXPECT_TRUE(shown.contains(QStringLiteral("<a href=\"https://"))) << shown.toStdString();
}

} // namespace
} // namespace corvane::testing
