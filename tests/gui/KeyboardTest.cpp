#include "app/ResponsiveWork.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Once a modal dialog is up, hands it to `answer`; polls from the event loop, so it works while
// the window blocks in the dialog's exec().
void whenModal(std::function<void(QWidget*)> answer, int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            answer(modal);
        } else if (attempts > 0) {
            whenModal(answer, attempts - 1);
        } else {
            ADD_FAILURE() << "no dialog came up";
        }
    });
}

// Types the path into the file dialog's name field and presses Return, as the keyboard would.
void typePath(QWidget* panel, const std::string& path) {
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    QApplication::setActiveWindow(panel);
    name->setFocus();
    QTest::keyClicks(name, QString::fromStdString(path));
    QTest::keyClick(name, Qt::Key_Return);
}

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        frontEnd.start();
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }
    MainWindow& window() { return frontEnd.window(); }
    // A key typed into the window. The offscreen platform does not give the window back its
    // focus when a dialog closes, as a desktop does; it is given here.
    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        QTest::keyClick(&window(), static_cast<Qt::Key>(code), modifiers);
    }

    TempHome home;
    FrontEnd frontEnd;
};

TEST_F(Keyboard, ChooseReportFixAndRestoreWithoutTheMouse) {
    const std::string id = "org.corvane.test.Keys" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Keys.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    home.file("Library/Preferences/" + id + ".plist", "keys");

    // Ctrl+O, the path, Return: the report, with the application named in the title.
    whenModal([&](QWidget* panel) { typePath(panel, bundle); });
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(window().fixButton()->isEnabled())
        << window().infoView()->toPlainText().toStdString();
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Keys.app - Corvane"));

    // Escape is (X): back to waiting; choosing again works from there as from the report.
    key(Qt::Key_Escape);
    EXPECT_FALSE(window().fixButton()->isEnabled());
    EXPECT_FALSE(window().chooseButton()->isHidden());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Corvane"));
    whenModal([&](QWidget* panel) { typePath(panel, bundle); });
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(window().fixButton()->isEnabled());

    // Return presses Fix; the closing sheet takes Return too.
    const QSize size = window().size();
    bool sheetSeen = false;
    QTimer::singleShot(50, qApp, [&] {
        if (auto* sheet = window().findChild<QMessageBox*>(QStringLiteral("sheet"))) {
            sheetSeen = true;
            QTest::keyClick(sheet, Qt::Key_Return);
        }
    });
    key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheetSeen; }, 3000));
    EXPECT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_EQ(window().size(), size) << "the window changed its size during the fix";

    // Ctrl+Z is Restore: its question and its account both answered with Return.
    whenModal([](QWidget* question) {
        QTest::keyClick(question, Qt::Key_Return);
        whenModal([](QWidget* account) { QTest::keyClick(account, Qt::Key_Return); });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window().restoreButton()->isEnabled(); }, 3000));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return home.exists("Library/Preferences/" + id + ".plist"); }, 3000));
}

TEST_F(Keyboard, AFixShowsHowFarItIsTowardsItsTotal) {
    const std::string id = "org.corvane.test.Many" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Many.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    const std::string byHost = home.path() + "/Library/Preferences/ByHost";
    std::filesystem::create_directories(byHost);
    constexpr int kEntries = 1500;
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, ".%08X.plist", i);
        std::ofstream(byHost + "/" + id + name) << i;
    }
    frontEnd.delegate().chooseAppAtPath(bundle);
    ASSERT_TRUE(window().fixButton()->isEnabled());

    const auto previous = ResponsiveWork::defaultInterval();
    ResponsiveWork::setDefaultInterval(std::chrono::milliseconds(1));
    std::vector<QString> shown;
    int maximum = -1;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window().busyLabel()->isHidden()) {
            shown.push_back(window().busyLabel()->text());
            maximum = window().busyBar()->maximum();
        }
    });
    watcher.start(0);
    QTimer::singleShot(50, qApp, [&] {
        if (auto* sheet = window().findChild<QMessageBox*>(QStringLiteral("sheet"))) {
            sheet->accept();
        }
    });
    key(Qt::Key_Return);
    watcher.stop();
    ResponsiveWork::setDefaultInterval(previous);

    ASSERT_FALSE(shown.empty()) << "no progress was shown";
    const QString total = QLocale().toString(kEntries);
    for (const QString& text : shown) {
        EXPECT_TRUE(text.startsWith(QStringLiteral("Moving to the Trash: ")));
        EXPECT_TRUE(text.endsWith(QStringLiteral(" of ") + total)) << text.toStdString();
    }
    EXPECT_GT(maximum, 0) << "the bar was a busy bar, not one that fills";
}

} // namespace
} // namespace corvane::testing
