#include "TestPaths.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "support/GuiHelpers.h"
#include "support/PlistFiles.h"
#include "support/StandInApp.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

// Fails the test and closes the dialog if it is still open after `attempts` polls, so a dialog
// that does not take the answer can never leave the test waiting for ever.
void closeIfStillOpen(QPointer<QFileDialog> dialog, int attempts = 200) {
    QTimer::singleShot(10, qApp, [=] {
        if (!dialog || !dialog->isVisible()) {
            return;
        }
        if (attempts > 0) {
            closeIfStillOpen(dialog, attempts - 1);
            return;
        }
        ADD_FAILURE() << "the file dialog did not take the typed path";
        dialog->reject();
    });
}

// Answers the chooser's file dialog once it is up: types the path and presses Open. The
// offscreen platform does not activate a dialog by itself, so the test does.
void answerOpenPanel(const std::string& path, int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (attempts > 0) {
                answerOpenPanel(path, attempts - 1);
            } else {
                ADD_FAILURE() << "the file dialog did not come up";
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    modal->close();
                }
            }
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (!name || !buttons) {
            ADD_FAILURE() << "the file dialog has no name field or buttons";
            dialog->reject();
            return;
        }
        QApplication::setActiveWindow(dialog);
        name->setFocus();
        name->clear();
        QTest::keyClicks(name, QString::fromStdString(path));
        EXPECT_EQ(name->text().toStdString(), path);
        closeIfStillOpen(dialog);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    });
}

// The window with the sheet drawn over its top edge, as the user sees them.
QString saveWindowWithSheet(QWidget& window, QWidget& sheet, const QString& name) {
    QPixmap picture = window.grab();
    const QPixmap over = sheet.grab();
    QPainter painter(&picture);
    painter.drawPixmap((picture.width() - over.width()) / 2, 0, over);
    painter.end();
    const QString folder = QString::fromUtf8(kBuildDir) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    picture.save(file);
    return file;
}

TEST(FixGui, ChooseThenFixLeavesTheSuccessSheetOverTheWaitingWindow) {
    TempHome home;
    const std::string id = "org.corvane.test.Gui" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Example.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    home.file("Library/Preferences/" + id + ".plist");
    home.file("Library/Saved Application State/" + id + ".savedState/windows.plist");
    home.file("Library/Preferences/org.corvane.test.Other.plist");

    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    answerOpenPanel(bundle);
    QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
    ASSERT_TRUE(window.fixButton()->isEnabled()) << window.infoView()->toPlainText().toStdString();

    QTest::mouseClick(window.fixButton(), Qt::LeftButton);

    auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"));
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->informativeText(),
              QStringLiteral("Default settings for Example.app have been successfully restored.\n"
                             "The removed files are in the Trash; press Restore to put them "
                             "back.\n"));
    EXPECT_EQ(window.infoView()->toPlainText(), QStringLiteral("Waiting for an app to fix..."));
    EXPECT_FALSE(window.fixButton()->isEnabled());
    EXPECT_FALSE(window.chooseButton()->isHidden());
    EXPECT_TRUE(window.iconView()->isHidden());
    EXPECT_TRUE(window.nameField()->text().isEmpty());
    EXPECT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_FALSE(home.exists("Library/Saved Application State/" + id + ".savedState"));
    EXPECT_TRUE(home.exists("Library/Preferences/org.corvane.test.Other.plist"));

    EXPECT_FALSE(
        saveWindowWithSheet(window, *sheet, QStringLiteral("fix-success-sheet")).isEmpty());

    QPushButton* ok = nullptr;
    for (auto* button : sheet->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("OK")) {
            ok = button;
        }
    }
    ASSERT_TRUE(ok);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.findChild<QMessageBox*>("sheet"); }));
}

// Hands the next modal alert to `answer` once it is up.
void whenAlertUp(const std::function<void(QMessageBox*)>& answer, int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            answer(box);
        } else if (attempts > 0) {
            whenAlertUp(answer, attempts - 1);
        } else {
            ADD_FAILURE() << "no alert came up";
        }
    });
}

TEST(FixGui, RestoreIsOfferedAfterAFixAndPutsTheSettingsBack) {
    TempHome home;
    const std::string id = "org.corvane.test.Gui" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Example.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    home.file("Library/Preferences/" + id + ".plist", "settings");

    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QPushButton* restore = window.restoreButton();
    EXPECT_EQ(restore->accessibleName(), restore->text());
    EXPECT_FALSE(restore->isEnabled()) << "at launch";

    const auto chooseAndFix = [&] {
        answerOpenPanel(bundle);
        QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
        EXPECT_FALSE(restore->isEnabled()) << "while a target is chosen";
        QTest::mouseClick(window.fixButton(), Qt::LeftButton);
        if (auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"))) {
            sheet->accept();
        }
    };
    chooseAndFix();
    EXPECT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_TRUE(restore->isEnabled()) << "after a fix";

    const QString folder = QString::fromUtf8(kBuildDir) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(window.grab().save(folder + QStringLiteral("/main-window-restore.png")));

    QString question;
    QString result;
    answerAlert(QStringLiteral("Restore"), &question,
                [&] { answerAlert(QStringLiteral("OK"), &result); });
    QTest::mouseClick(restore, Qt::LeftButton);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Put back the settings of Example.app")))
        << question.toStdString();
    EXPECT_TRUE(result.startsWith(QStringLiteral("1 entry of Example.app came back.")))
        << result.toStdString();
    EXPECT_TRUE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_FALSE(restore->isEnabled()) << "after the restore";

    chooseAndFix();
    EXPECT_TRUE(restore->isEnabled()) << "after a second fix";

    // The application ran again and wrote its settings: the question names what goes aside.
    home.file("Library/Preferences/" + id + ".plist", "written since");
    answerAlert(QStringLiteral("Restore"), &question, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            saveScreenshot(*box, QStringLiteral("restore-question-replaced"));
        }
        answerAlert(QStringLiteral("OK"), &result);
    });
    QTest::mouseClick(restore, Qt::LeftButton);
    EXPECT_TRUE(question.contains(QStringLiteral("These were written since and go to the Trash:")))
        << question.toStdString();
    EXPECT_TRUE(question.contains(QString::fromStdString("/Preferences/" + id + ".plist")))
        << question.toStdString();
    EXPECT_EQ(contentOf(home.library() + "/Preferences/" + id + ".plist"), "settings");
    EXPECT_TRUE(restore->isEnabled()) << "what was written since can come back in turn";
}

// A home with a reset of Example.app's settings in the Trash, and the window started again on
// it. The launch looks up what Restore can offer only once the window is on screen.
class Relaunch : public ::testing::Test {
protected:
    void SetUp() override {
        home.file("Library/Preferences/" + id + ".plist", "settings");
        FrontEnd first;
        first.start();
        first.delegate().chooseAppAtPath(bundle);
        first.delegate().fixButtonMethod();
        if (auto* sheet = first.window().findChild<QMessageBox*>(QStringLiteral("sheet"))) {
            sheet->accept();
        }
        ASSERT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    }

    TempHome home;
    const std::string id = "org.corvane.test.Relaunch" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Example.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
};

TEST_F(Relaunch, RestoreIsOfferedOnceTheWindowIsUpUnlessAnApplicationWasGiven) {
    const struct {
        std::optional<std::string> given;
        bool offered;
    } rows[] = {{std::nullopt, true}, {bundle, false}};
    for (const auto& row : rows) {
        FrontEnd frontEnd;
        frontEnd.start(row.given);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frontEnd.window()));
        QTest::qWait(200);
        EXPECT_EQ(frontEnd.window().restoreButton()->isEnabled(), row.offered)
            << (row.given ? "with an application given" : "with none given");
        EXPECT_EQ(frontEnd.window().restoreAction()->isEnabled(), row.offered);
    }
}

// The user need not wait for the look-up: a press that comes before it still acts.
TEST_F(Relaunch, RestorePressedBeforeTheWindowWasUpPutsTheSettingsBack) {
    FrontEnd frontEnd;
    frontEnd.start();
    QString question;
    QString result;
    answerAlert(QStringLiteral("Restore"), &question,
                [&] { answerAlert(QStringLiteral("OK"), &result); });
    QTest::mouseClick(frontEnd.window().restoreButton(), Qt::LeftButton);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Put back the settings of Example.app")))
        << question.toStdString();
    EXPECT_TRUE(home.exists("Library/Preferences/" + id + ".plist"));
}

// The list of past resets, once it is up: the list found by its accessible name.
void whenPastResetsUp(const std::function<void(QDialog*, QTreeWidget*)>& answer,
                      int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QTreeWidget* list = nullptr;
        if (dialog && dialog->isVisible()) {
            for (auto* candidate : dialog->findChildren<QTreeWidget*>()) {
                if (candidate->accessibleName() == QString::fromUtf8(kPastResetsName)) {
                    list = candidate;
                }
            }
        }
        if (list) {
            QApplication::setActiveWindow(dialog);
            answer(dialog, list);
        } else if (attempts > 0) {
            whenPastResetsUp(answer, attempts - 1);
        } else {
            ADD_FAILURE() << "the list of past resets did not come up";
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
}

// Two resets of two applications: Restore lists both, newest first and chosen; Escape or Cancel
// leaves everything, and the older one chosen with the keyboard comes back alone.
TEST(FixGui, RestoreListsPastResetsAndPutsBackTheOneChosen) {
    TempHome home;
    std::vector<std::string> ids;
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const std::string name : {"Older", "Newer"}) {
        ids.push_back("org.corvane.test." + name + std::to_string(getpid()));
        const std::string bundle = makeBundle(home.path() + "/Applications", name + ".app",
                                              xmlInfoPlist({{"CFBundleIdentifier", ids.back()}}));
        home.file("Library/Preferences/" + ids.back() + ".plist", name);
        answerOpenPanel(bundle);
        QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
        QTest::mouseClick(window.fixButton(), Qt::LeftButton);
        if (auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"))) {
            sheet->accept();
        }
        ASSERT_FALSE(home.exists("Library/Preferences/" + ids.back() + ".plist"));
    }
    const auto inPlace = [&](std::size_t i) {
        return home.exists("Library/Preferences/" + ids[i] + ".plist");
    };

    // Escape and Cancel both leave everything as it is.
    const std::vector<std::function<void(QDialog*, QTreeWidget*)>> cancellations = {
        [](QDialog*, QTreeWidget* list) { QTest::keyClick(list, Qt::Key_Escape); },
        [](QDialog* dialog, QTreeWidget*) {
            for (auto* button : dialog->findChildren<QPushButton*>()) {
                if (button->accessibleName() == QString::fromUtf8(kCancelChoiceTitle)) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
            ADD_FAILURE() << "no Cancel button";
            dialog->reject();
        }};
    for (const auto& cancel : cancellations) {
        QStringList shown;
        whenPastResetsUp([&](QDialog* dialog, QTreeWidget* list) {
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                shown.push_back(list->topLevelItem(row)->text(1));
            }
            EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 0);
            saveScreenshot(*dialog, QStringLiteral("history"));
            cancel(dialog, list);
        });
        QTest::mouseClick(window.restoreButton(), Qt::LeftButton);
        EXPECT_EQ(shown, (QStringList{QStringLiteral("Newer.app"), QStringLiteral("Older.app")}));
        EXPECT_FALSE(inPlace(0) || inPlace(1));
        EXPECT_FALSE(QApplication::activeModalWidget()) << "no question follows";
        EXPECT_TRUE(window.restoreButton()->isEnabled());
    }

    QString question;
    QString result;
    whenPastResetsUp([&](QDialog* dialog, QTreeWidget* list) {
        QTest::keyClick(list, Qt::Key_Down);
        QPushButton* restore = nullptr;
        for (auto* button : dialog->findChildren<QPushButton*>()) {
            if (button->accessibleName() == QString::fromUtf8(kRestoreChosenTitle)) {
                restore = button;
            }
        }
        EXPECT_TRUE(restore && restore->isDefault() && restore->isEnabled());
        answerAlert(QStringLiteral("Restore"), &question,
                    [&] { answerAlert(QStringLiteral("OK"), &result); });
        QTest::keyClick(list, Qt::Key_Return);
    });
    QTest::mouseClick(window.restoreButton(), Qt::LeftButton);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Put back the settings of Older.app")))
        << question.toStdString();
    EXPECT_TRUE(result.startsWith(QStringLiteral("1 entry of Older.app came back.")))
        << result.toStdString();
    EXPECT_TRUE(inPlace(0));
    EXPECT_FALSE(inPlace(1)) << "the newer reset stays in the Trash";
    EXPECT_TRUE(window.restoreButton()->isEnabled());
}

// What the window did while a press waited for an application that ignores the request to
// quit, the cancel control clicked once the countdown had shown two texts.
struct StoppedQuitWait {
    QStringList countdown;
    bool pressedAvailableWhileWaiting = false;
    std::optional<std::chrono::steady_clock::time_point> stoppedAt;
    std::chrono::steady_clock::time_point returnedAt;
};

StoppedQuitWait pressAndStopTheQuitWait(MainWindow& window, QPushButton* pressed,
                                        const QString& screenshot) {
    using namespace std::chrono_literals;
    StoppedQuitWait wait;
    // A question the test answers goes within milliseconds; one still up after that means the
    // wait ran its course and ended in an alert.
    QPointer<QWidget> lastModal;
    std::chrono::steady_clock::time_point modalSince;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal != lastModal) {
                lastModal = modal;
                modalSince = std::chrono::steady_clock::now();
            } else if (!wait.countdown.isEmpty() ||
                       std::chrono::steady_clock::now() - modalSince > 2s) {
                ADD_FAILURE() << "the wait was not stopped and ended in a question";
                modal->close();
            }
            return;
        }
        const QString text = window.infoView()->toPlainText();
        if (!text.startsWith(QStringLiteral("App is running. Trying to quit..."))) {
            return;
        }
        if (wait.countdown.isEmpty() || wait.countdown.back() != text) {
            wait.countdown.push_back(text);
        }
        wait.pressedAvailableWhileWaiting =
            wait.pressedAvailableWhileWaiting || pressed->isEnabled();
        if (wait.countdown.size() == 2 && !wait.stoppedAt) {
            saveScreenshot(window, screenshot);
            // As the window system delivers a click: to the window, at the control's place.
            QPushButton* cancel = window.cancelButton();
            const QPoint at = cancel->mapTo(&window, cancel->rect().center());
            wait.stoppedAt = std::chrono::steady_clock::now();
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        }
    });
    watcher.start(20);
    QTest::mouseClick(pressed, Qt::LeftButton);
    wait.returnedAt = std::chrono::steady_clock::now();
    watcher.stop();
    return wait;
}

// The wait counted down from 10 s, with the pressed button unavailable, and ended at once when
// the cancel control was clicked, leaving the application running and no question behind.
void expectStoppedPromptly(const StoppedQuitWait& wait, StandInProcess& application) {
    using namespace std::chrono_literals;
    const std::string seen = wait.countdown.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(wait.stoppedAt) << seen;
    EXPECT_LE(wait.returnedAt - *wait.stoppedAt, 200ms);
    ASSERT_EQ(wait.countdown.size(), 2) << seen;
    EXPECT_TRUE(wait.countdown[0].endsWith(QStringLiteral(" 10 s"))) << seen;
    EXPECT_TRUE(wait.countdown[1].endsWith(QStringLiteral(" 9 s"))) << seen;
    EXPECT_FALSE(wait.pressedAvailableWhileWaiting);
    EXPECT_FALSE(application.hasEnded());
    EXPECT_FALSE(QApplication::activeModalWidget()) << "stopping asks nothing";
}

// The window on a home with an application "Stubborn" that, once started with `run`, ignores
// the request to quit.
class StubbornTarget : public ::testing::Test {
protected:
    void SetUp() override {
        frontEnd.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void choose() {
        answerOpenPanel(app.bundlePath());
        QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
    }
    std::unique_ptr<StandInProcess> run() {
        return std::make_unique<StandInProcess>(app.executable(), true);
    }

    TempHome home;
    const std::string id = "org.corvane.test.Stubborn" + std::to_string(getpid());
    const StandInBundle app{home.path() + "/Applications", "Stubborn", id};
    FrontEnd frontEnd;
    MainWindow& window = frontEnd.window();
};

// An application that ignores the request to quit: the window counts the wait down, Fix is
// unavailable, and (X) stops the wait at once, with nothing removed and the report back as it
// was, grey lists included.
TEST_F(StubbornTarget, TheQuitWaitCountsDownAndTheCancelControlStopsIt) {
    home.file("Library/Preferences/" + id + ".plist");
    home.file("Library/Saved Application State/" + id + ".savedState/windows.plist");
    const auto stubborn = run();
    choose();
    ASSERT_TRUE(window.fixButton()->isEnabled()) << window.infoView()->toPlainText().toStdString();
    const QString report = window.infoView()->toPlainText();
    const std::vector<ColourRun> colours = colourRuns(*window.infoView());
    ASSERT_GT(colours.size(), 1u) << "the report's lists are grey";

    expectStoppedPromptly(
        pressAndStopTheQuitWait(window, window.fixButton(), QStringLiteral("quit-wait")),
        *stubborn);
    EXPECT_TRUE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_TRUE(home.exists("Library/Saved Application State/" + id + ".savedState/windows.plist"));
    EXPECT_EQ(window.infoView()->toPlainText(), report);
    const std::vector<ColourRun> after = colourRuns(*window.infoView());
    ASSERT_EQ(after.size(), colours.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].start, colours[i].start) << i;
        EXPECT_EQ(after[i].length, colours[i].length) << i;
        EXPECT_EQ(after[i].colour, colours[i].colour) << i;
    }
    EXPECT_TRUE(window.fixButton()->isEnabled());
    EXPECT_EQ(window.nameField()->text(), QStringLiteral("Stubborn.app"));
    EXPECT_FALSE(window.findChild<QMessageBox*>(QStringLiteral("sheet")));
}

// Restore waits for a running target the same way: counted down, Restore unavailable, and (X)
// stops it with nothing put back and the window as it was, Restore still on offer.
TEST_F(StubbornTarget, RestoreWaitsForTheTargetToQuitAndTheCancelControlStopsIt) {
    home.file("Library/Preferences/" + id + ".plist", "settings");
    choose();
    QTest::mouseClick(window.fixButton(), Qt::LeftButton);
    if (auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"))) {
        sheet->accept();
    }
    ASSERT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    ASSERT_TRUE(window.restoreButton()->isEnabled());
    const QString waiting = window.infoView()->toPlainText();

    const auto stubborn = run();
    QString question;
    answerAlert(QStringLiteral("Restore"), &question);
    expectStoppedPromptly(pressAndStopTheQuitWait(window, window.restoreButton(),
                                                  QStringLiteral("restore-quit-wait")),
                          *stubborn);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Put back the settings of Stubborn.app")))
        << question.toStdString();
    EXPECT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_EQ(window.infoView()->toPlainText(), waiting);
    EXPECT_TRUE(window.restoreButton()->isEnabled());
    EXPECT_TRUE(window.chooseButton()->isEnabled());
}

// With the data home on a file system of its own (a tmpfs), the Library's entries have no Trash.
TEST(FixGui, WhatNoTrashTakesStaysUnlessTheUserAgreesToRemoveItForGood) {
    TempHome home;
    char dataHome[] = "/dev/shm/corvane-gui-data-XXXXXX";
    struct stat shm {
    }, homeInfo{};
    if (!mkdtemp(dataHome) || stat(dataHome, &shm) != 0 ||
        stat(home.path().c_str(), &homeInfo) != 0 || shm.st_dev == homeInfo.st_dev) {
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    setenv("XDG_DATA_HOME", dataHome, 1);
    const std::string id = "org.corvane.test.Gui" + std::to_string(getpid());
    const std::string bundle = makeBundle(home.path() + "/Applications", "Example.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    home.file("Library/Preferences/" + id + ".plist");
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    answerOpenPanel(bundle);
    QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
    ASSERT_TRUE(window.fixButton()->isEnabled());

    // Escape is Cancel, the default: nothing at all is removed and the window stays ready.
    QString question;
    QString defaultButton;
    whenAlertUp([&](QMessageBox* box) {
        question = box->text();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        saveScreenshot(*box, QStringLiteral("remove-for-good-question"));
        QApplication::setActiveWindow(box);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QTest::mouseClick(window.fixButton(), Qt::LeftButton);
    EXPECT_TRUE(question.startsWith(QStringLiteral("1 entry cannot be moved to the Trash (")))
        << question.toStdString();
    EXPECT_EQ(defaultButton, QStringLiteral("Cancel"));
    EXPECT_TRUE(home.exists("Library/Preferences/" + id + ".plist"));
    EXPECT_TRUE(window.fixButton()->isEnabled());
    EXPECT_FALSE(window.findChild<QMessageBox*>(QStringLiteral("sheet")));

    answerAlert(QStringLiteral("Remove for Good"), &question);
    QTest::mouseClick(window.fixButton(), Qt::LeftButton);
    EXPECT_FALSE(home.exists("Library/Preferences/" + id + ".plist"));
    auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"));
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->informativeText().contains(
        QStringLiteral("1 entry was removed for good, as you agreed.")))
        << sheet->informativeText().toStdString();
    std::filesystem::remove_all(dataHome);
}

} // namespace
} // namespace corvane::testing
