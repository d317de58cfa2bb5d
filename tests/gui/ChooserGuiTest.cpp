#include "app/ResponsiveWork.h"
#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"
#include "core/analysis/Kinds.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "support/CookieFiles.h"
#include "support/GuiHelpers.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

const QColor kBlue = QColor::fromRgbF(0.0f, 0.5f, 0.8f);
const QColor kGrey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
const QColor kRed = QColor::fromRgbF(1.0f, 0.0f, 0.0f);

// Once a modal dialog of the class is up, hands it to `answer`; polls from the event loop, so
// it works while the chooser blocks in the dialog's exec().
void whenModal(const char* className, std::function<void(QWidget*)> answer, int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->inherits(className) && modal->isVisible()) {
            answer(modal);
        } else if (attempts > 0) {
            whenModal(className, answer, attempts - 1);
        } else {
            ADD_FAILURE() << "no " << className << " came up";
            if (modal) {
                modal->close();
            }
        }
    });
}

// Types the path into the file dialog and presses its Open button. The offscreen platform does
// not activate a dialog by itself; without `activate` the name field types without focus.
void typeIntoOpenPanel(QWidget* panel, const std::string& path, bool activate = true) {
    auto* dialog = qobject_cast<QFileDialog*>(panel);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select the application with the problem."));
    EXPECT_TRUE(dialog->nameFilters().isEmpty() ||
                dialog->nameFilters() == QStringList{QStringLiteral("All Files (*)")});
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    if (activate) {
        QApplication::setActiveWindow(dialog);
        name->setFocus();
    }
    name->clear();
    QTest::keyClicks(name, QString::fromStdString(path));
    EXPECT_EQ(name->text(), QString::fromStdString(path));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_TRUE(buttons);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
}

void pick(const std::string& path, bool activate = true) {
    whenModal("QFileDialog",
              [path, activate](QWidget* panel) { typeIntoOpenPanel(panel, path, activate); });
}

QPushButton* buttonTitled(QWidget* box, const QString& title) {
    for (auto* button : box->findChildren<QPushButton*>()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

// An icon file in the format macOS bundles use: a rounded tile of the colour with a white
// page on its lower half (the upper half stays plain, for the test to read).
void writeIcns(const std::string& path, const QColor& colour) {
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(36, 70, 56, 40), 6, 6);
    painter.end();
    QImageWriter writer(QString::fromStdString(path), "icns");
    ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
}

// True when every character in [from, to) of the view is drawn in the colour; the line breaks
// between paragraphs carry no colour of their own and are skipped.
bool colouredAs(const QTextEdit& edit, int from, int to, const QColor& colour) {
    int checked = 0;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int begin = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (begin < end) {
                if (fragment.charFormat().foreground().color() != colour) {
                    return false;
                }
                checked += end - begin;
            }
        }
    }
    return checked > 0;
}

// Posts a whole click (press and release) on the centre of the widget, as the window system
// delivers one: queued, to be handled when the event loop next turns.
void postClick(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget,
                                new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// Clicks Fix again and again for as long as a walk shows its progress.
class ImpatientUser {
public:
    explicit ImpatientUser(MainWindow& window) : m_previous(ResponsiveWork::defaultInterval()) {
        ResponsiveWork::setDefaultInterval(std::chrono::milliseconds(1));
        QObject::connect(&m_timer, &QTimer::timeout, [this, &window] {
            if (!window.busyBar()->isHidden()) {
                postClick(window.fixButton());
                ++clicks;
            }
        });
        m_timer.start(0);
    }
    ~ImpatientUser() { ResponsiveWork::setDefaultInterval(m_previous); }
    void stop() { m_timer.stop(); }
    int clicks = 0;

private:
    QTimer m_timer;
    std::chrono::milliseconds m_previous;
};

// Many settings files of other applications, so that the walks take a while.
void manyFiles(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        std::ofstream(folder + "/com.vendor.Other" + std::to_string(i) + ".plist") << "x";
    }
}

// The text a label or line edit shows, as assistive technology reads it off the screen: the
// markup of a rich text is gone from it, a plain text is whole.
QString shownText(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (!accessible) {
        return {};
    }
    return accessible->text(qobject_cast<QLineEdit*>(widget) ? QAccessible::Value
                                                             : QAccessible::Name);
}

class ChooserGui : public ::testing::Test {
protected:
    void SetUp() override {
        frontEnd.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
        // A dialog left open by a failed step would block the test for ever.
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "a modal dialog was left open";
                modal->close();
            }
        });
        watchdog.start(20000);
    }

    MainWindow& window() { return frontEnd.window(); }
    QString info() { return window().infoView()->toPlainText(); }
    void choose() { QTest::mouseClick(window().chooseButton(), Qt::LeftButton); }

    std::string bundle(const std::string& name, const PlistValues& values, bool binary = false) {
        return makeBundle(home.path() + "/Downloads", name,
                          binary ? binaryInfoPlist(values) : xmlInfoPlist(values));
    }

    TempHome home; // before the front end: everything it does happens in this home
    FrontEnd frontEnd;
    QTimer watchdog;
};

TEST_F(ChooserGui, ReadyShowsTheReportWithItsListsGreyAndTheBundlesIcon) {
    home.file("Library/Preferences/com.example.Editor.plist");
    home.file("Library/Preferences/ByHost/com.example.Editor.4F2A9C01.plist");
    home.file("Library/Saved Application State/com.example.Editor.savedState/windows.plist");
    const std::string editor = bundle("Editor.app", {{"CFBundleIdentifier", "com.example.Editor"},
                                                     {"CFBundleIconFile", "Editor"}});
    home.folder("Downloads/Editor.app/Contents/Resources");
    writeIcns(editor + "/Contents/Resources/Editor.icns", QColor(220, 40, 40));

    pick(editor);
    choose();

    EXPECT_EQ(window().nameField()->text(), QStringLiteral("Editor.app"));
    EXPECT_TRUE(window().fixButton()->isEnabled());
    EXPECT_TRUE(window().chooseButton()->isHidden());
    ASSERT_FALSE(window().iconView()->isHidden());
    const QImage icon = window().iconView()->pixmap().toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 4), QColor(220, 40, 40));

    const QString text = info();
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "Corvane can safely remove the following user preference and window data files:\n\n"
        "ByHost/com.example.Editor.4F2A9C01.plist\ncom.example.Editor.plist\n\n"
        "com.example.Editor.savedState\ncom.example.Editor.savedState/windows.plist\n\n"
        "Click the \"Fix\" button to restore Editor.app or (X) to cancel.\n")))
        << text.toStdString();
    const int start = static_cast<int>(text.indexOf(QStringLiteral("ByHost/")));
    const int end = static_cast<int>(text.indexOf(QStringLiteral("Click")));
    const QTextEdit& view = *window().infoView();
    EXPECT_TRUE(colouredAs(view, 0, start, kBlue));
    EXPECT_TRUE(colouredAs(view, start, end, kGrey));
    EXPECT_TRUE(colouredAs(view, end, static_cast<int>(text.size()), kBlue));

    saveScreenshot(window(), QStringLiteral("ready"));
}

TEST_F(ChooserGui, EachKindFoundHasABoxAndUntickingOneTakesItOutOfTheReportAndTheFix) {
    home.file("Library/Preferences/com.example.Editor.plist");
    home.file("Library/Saved Application State/com.example.Editor.savedState/windows.plist");
    pick(bundle("Editor.app", {{"CFBundleIdentifier", "com.example.Editor"}}));
    choose();
    const QString whole = info();

    // The boxes as a screen reader finds them: by their names, each ticked.
    const auto box = [this](EntryKind kind) -> QCheckBox* {
        const QString label = QString::fromUtf8(kindRow(kind).label.data(),
                                                static_cast<qsizetype>(kindRow(kind).label.size()));
        for (QCheckBox* found : window().kindRow()->findChildren<QCheckBox*>()) {
            if (found->isVisibleTo(&window()) && shownText(found) == label) {
                return found;
            }
        }
        return nullptr;
    };
    QCheckBox* settings = box(EntryKind::Preferences);
    QCheckBox* state = box(EntryKind::SavedState);
    ASSERT_TRUE(settings && state);
    EXPECT_FALSE(box(EntryKind::ContainerPreferences)) << "a kind that found nothing has no box";
    EXPECT_TRUE(settings->isChecked() && state->isChecked());

    QTest::mouseClick(settings, Qt::LeftButton, {}, QPoint(4, settings->height() / 2));
    EXPECT_FALSE(settings->isChecked());
    EXPECT_FALSE(info().contains(QStringLiteral("com.example.Editor.plist")));
    EXPECT_TRUE(info().contains(QStringLiteral("com.example.Editor.savedState/windows.plist")));
    EXPECT_TRUE(info().startsWith(
        QStringLiteral("Corvane can safely remove the following user window data files:")));
    EXPECT_TRUE(window().fixButton()->isEnabled());
    saveScreenshot(window(), QStringLiteral("kinds-window-state-only"));

    QTest::mouseClick(state, Qt::LeftButton, {}, QPoint(4, state->height() / 2));
    EXPECT_FALSE(window().fixButton()->isEnabled()) << "Fix takes nothing with nothing ticked";

    QTest::mouseClick(settings, Qt::LeftButton, {}, QPoint(4, settings->height() / 2));
    QTest::mouseClick(state, Qt::LeftButton, {}, QPoint(4, state->height() / 2));
    EXPECT_EQ(info(), whole) << "every kind ticked again gives the whole report back";
    EXPECT_TRUE(window().fixButton()->isEnabled());
}

TEST_F(ChooserGui, SafariHardIsChosenOnlyByItsOwnButtonAndTurnsTheNoticeRed) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Safari/Bookmarks.plist");
    home.file("Library/Safari/History/one");
    home.file("Library/Caches/com.apple.Safari/Cache.db");
    home.file("Library/Cookies/Cookies.binarycookies",
              cookieFile({cookiePage({cookieRecord(".example.com", "a", "/", "1")})}));
    const std::string safari =
        bundle("Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}}, true);
    bool prompted = false;
    pick(safari);
    whenModal("QMessageBox", [&](QWidget* box) {
        prompted = true;
        EXPECT_TRUE(box->isModal());
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        QPushButton* hard = buttonTitled(box, QStringLiteral("Hard"));
        QPushButton* soft = buttonTitled(box, QStringLiteral("Soft"));
        ASSERT_TRUE(hard && soft);
        EXPECT_TRUE(soft->isDefault());
        EXPECT_FALSE(hard->isDefault());
        EXPECT_FALSE(hard->autoDefault());
        EXPECT_GT(hard->mapToGlobal(QPoint()).x(), soft->mapToGlobal(QPoint()).x());
        QTest::mouseClick(hard, Qt::LeftButton);
    });
    choose();

    EXPECT_TRUE(prompted);
    // The notice in red, then what the reset takes in the report's grey.
    const QString notice = QString::fromUtf8(kHardResetNotice);
    ASSERT_TRUE(info().startsWith(notice)) << info().toStdString();
    EXPECT_TRUE(colouredAs(*window().infoView(), 0, static_cast<int>(notice.size()), kRed));
    const QString lists = QStringLiteral(
        "Library/Safari (3 items)\n"
        "Library/Caches/com.apple.Safari (1 item)\n"
        "every cookie of the shared store Library/Cookies/Cookies.binarycookies (1 cookie)\n\n"
        "com.apple.Safari.plist");
    const auto at = static_cast<int>(info().indexOf(lists));
    ASSERT_GT(at, notice.size()) << info().toStdString();
    EXPECT_TRUE(colouredAs(*window().infoView(), at, at + static_cast<int>(lists.size()), kGrey));
    EXPECT_TRUE(window().fixButton()->isEnabled());
    EXPECT_EQ(window().nameField()->text(), QStringLiteral("Safari.app"));

    saveScreenshot(window(), QStringLiteral("safari-hard"));
}

TEST_F(ChooserGui, ReturnAnswersTheSafariPromptWithSoftEvenWithHardFocused) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    pick(bundle("Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}}));
    whenModal("QMessageBox", [](QWidget* box) {
        QPushButton* hard = buttonTitled(box, QStringLiteral("Hard"));
        ASSERT_TRUE(hard);
        box->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(box));
        hard->setFocus();
        EXPECT_EQ(QApplication::focusWidget(), hard);
        QTest::keyClick(box, Qt::Key_Return);
    });
    choose();

    EXPECT_TRUE(
        info().startsWith(QStringLiteral("Safari Soft Reset - click \"Fix\" to complete!")));
    EXPECT_EQ(colourAt(*window().infoView(), 0), kBlue);
    EXPECT_EQ(
        colourAt(*window().infoView(), static_cast<int>(info().indexOf("com.apple.Safari.plist"))),
        kGrey);
    EXPECT_TRUE(window().fixButton()->isEnabled());
}

TEST_F(ChooserGui, NothingFoundDisablesFixAndLeavesTheMessageBlue) {
    pick(bundle("Quiet.app", {{"CFBundleIdentifier", "com.example.Quiet"}}));
    choose();

    EXPECT_EQ(
        info(),
        QStringLiteral(
            "This version of Corvane can't find anything to fix for Quiet.app at the moment."));
    for (const ColourRun& run : colourRuns(*window().infoView())) {
        EXPECT_EQ(run.colour, kBlue);
    }
    EXPECT_FALSE(window().fixButton()->isEnabled());
    EXPECT_EQ(window().nameField()->text(), QStringLiteral("Quiet.app"));
    EXPECT_FALSE(window().iconView()->isHidden());

    saveScreenshot(window(), QStringLiteral("nothing-to-fix"));
}

TEST_F(ChooserGui, ADocumentIsRejectedAndTheCancelControlReturnsToWaiting) {
    home.file("Downloads/Notes.txt", "some notes");
    pick(home.path() + "/Downloads/Notes.txt");
    choose();

    // The refusal names the item, so the user sees which pick it was.
    EXPECT_EQ(window().nameField()->text(),
              QStringLiteral("Error: Notes.txt doesn't appear to be an application"));
    EXPECT_EQ(info(), QStringLiteral("Please click the (X) button to choose again"));
    EXPECT_FALSE(window().fixButton()->isEnabled());
    EXPECT_FALSE(window().iconView()->isHidden());
    EXPECT_FALSE(window().iconView()->pixmap().isNull());
    EXPECT_TRUE(window().chooseButton()->isHidden());
    saveScreenshot(window(), QStringLiteral("rejected"));

    QTest::mouseClick(window().cancelButton(), Qt::LeftButton);
    EXPECT_EQ(info(), QStringLiteral("Waiting for an app to fix..."));
    EXPECT_EQ(window().nameField()->text(), QString());
    EXPECT_TRUE(window().iconView()->isHidden());
    EXPECT_FALSE(window().chooseButton()->isHidden());
    EXPECT_TRUE(window().chooseButton()->isEnabled());
}

// Run as root with HOME owned by another user, choosing an application says so where the
// chooser's errors appear, leaves Fix unavailable, and makes nothing in that home.
TEST_F(ChooserGui, AsRootInAnotherUsersHomeTheChoiceIsRefusedAndNothingIsMade) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    home.file("Library/Preferences/com.example.Editor.plist");
    const std::string editor = bundle("Editor.app", {{"CFBundleIdentifier", "com.example.Editor"}});
    ASSERT_EQ(chown(home.path().c_str(), 65534, 65534), 0);
    const std::optional<std::string> refusal =
        foreignHomeRefusal(home.path(), "Corvane", "corvane");
    ASSERT_TRUE(refusal);

    pick(editor);
    choose();

    EXPECT_EQ(info().toStdString(), *refusal);
    EXPECT_TRUE(window().nameField()->text().startsWith(QStringLiteral("Error: ")));
    EXPECT_FALSE(window().fixButton()->isEnabled());
    EXPECT_FALSE(window().restoreButton()->isEnabled());
    QTest::mouseClick(window().fixButton(), Qt::LeftButton);
    EXPECT_TRUE(home.exists("Library/Preferences/com.example.Editor.plist"));
    EXPECT_FALSE(home.exists(".local/share/Trash"));
    EXPECT_FALSE(home.exists("Library/Application Support"));
    saveScreenshot(window(), QStringLiteral("foreign-home"));
}

TEST_F(ChooserGui, AnOrdinaryFolderIsEnteredNotPickedAndCancellingKeepsWaiting) {
    home.folder("Downloads/Projects/Inner");
    bool entered = false;
    whenModal("QFileDialog", [&](QWidget* panel) {
        typeIntoOpenPanel(panel, home.path() + "/Downloads/Projects");
        auto* dialog = qobject_cast<QFileDialog*>(panel);
        entered =
            dialog->isVisible() && dialog->directory().absolutePath() ==
                                       QString::fromStdString(home.path() + "/Downloads/Projects");
        dialog->reject();
    });
    choose();

    EXPECT_TRUE(entered);
    EXPECT_EQ(info(), QStringLiteral("Waiting for an app to fix..."));
    EXPECT_FALSE(window().chooseButton()->isHidden());
    EXPECT_TRUE(window().iconView()->isHidden());
    EXPECT_FALSE(frontEnd.delegate().path());
}

TEST_F(ChooserGui, AFolderNamedAppWithoutInfoPlistIsPickedAndRejected) {
    home.folder("Downloads/Hollow.app/Contents");
    pick(home.path() + "/Downloads/Hollow.app");
    choose();

    EXPECT_EQ(frontEnd.delegate().path(), home.path() + "/Downloads/Hollow.app");
    EXPECT_EQ(window().nameField()->text(),
              QStringLiteral("Error: Hollow.app doesn't appear to be an application"));
    EXPECT_FALSE(window().fixButton()->isEnabled());
}

// Typed without focus, the dialog selects every folder on the way ("/", "/tmp", ...); the name
// typed in full must still be what is picked.
TEST_F(ChooserGui, ABundlePathTypedWithoutFocusPicksThatBundle) {
    pick(bundle("Typed.app", {{"CFBundleIdentifier", "com.example.Typed"}}), false);
    choose();
    EXPECT_EQ(frontEnd.delegate().path(), home.path() + "/Downloads/Typed.app");
    EXPECT_EQ(window().nameField()->text(), QStringLiteral("Typed.app"));
}

TEST_F(ChooserGui, TheInfoViewGivesBackTheTextAsWritten) {
    home.file("Library/Preferences/com.example.Space/Space\u00a0Bar.plist");
    pick(bundle("Space.app", {{"CFBundleIdentifier", "com.example.Space"}}));
    choose();
    const int start = static_cast<int>(info().indexOf(QStringLiteral("com.example.Space")));
    EXPECT_EQ(colourAt(*window().infoView(), start), kGrey);
    EXPECT_TRUE(window().fixButton()->isEnabled());
}

// Started with an application (corvane PATH.app), the window shows what picking the same item in
// the open panel shows: an application's report, a document's rejection.
TEST(StartWithApplication, ShowsWhatPickingItInTheOpenPanelShows) {
    const TempHome home;
    home.file("Library/Preferences/com.example.Editor.plist");
    home.file("Downloads/Notes.txt", "some notes");
    const std::string editor =
        makeBundle(home.path() + "/Downloads", "Editor.app",
                   xmlInfoPlist({{"CFBundleIdentifier", "com.example.Editor"}}));

    for (const std::string& path : {editor, home.path() + "/Downloads/Notes.txt"}) {
        SCOPED_TRACE(path);
        FrontEnd picked;
        picked.start();
        pick(path);
        QTest::mouseClick(picked.window().chooseButton(), Qt::LeftButton);
        ASSERT_EQ(picked.delegate().path(), path);

        FrontEnd started;
        started.start(path);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&started.window()));
        EXPECT_EQ(started.delegate().path(), path);
        EXPECT_EQ(started.window().nameField()->text(), picked.window().nameField()->text());
        EXPECT_EQ(started.window().infoView()->toPlainText(),
                  picked.window().infoView()->toPlainText());
        EXPECT_EQ(started.window().fixButton()->isEnabled(),
                  picked.window().fixButton()->isEnabled());
        EXPECT_TRUE(started.window().chooseButton()->isHidden());
        EXPECT_FALSE(started.window().iconView()->isHidden());
        if (path == editor) {
            saveScreenshot(started.window(), QStringLiteral("started-with-application"));
        }
    }
}

// Clicks made while the analysis walks must not act once its report is on screen, nor answer
// the Safari question that comes up in the middle of it.
TEST_F(ChooserGui, ClicksMadeDuringTheAnalysisAreDroppedNotReplayed) {
    manyFiles(home.library() + "/Preferences", 3000);
    manyFiles(home.library() + "/Saved Application State", 1000);
    home.file("Library/Preferences/com.example.Busy.plist");
    pick(bundle("Busy.app", {{"CFBundleIdentifier", "com.example.Busy"}}));
    ImpatientUser user(window());
    choose();
    user.stop();
    ASSERT_GE(user.clicks, 1); // each one made while the walk showed its progress
    QTest::qWait(50);          // anything still queued is handled now

    EXPECT_TRUE(info().startsWith(QStringLiteral("Corvane can safely remove"))) << user.clicks;
    EXPECT_TRUE(window().fixButton()->isEnabled());
    EXPECT_TRUE(home.exists("Library/Preferences/com.example.Busy.plist"));
    EXPECT_FALSE(window().findChild<QMessageBox*>(QStringLiteral("sheet")));

    // A click made now, with the report on screen, fixes.
    QTest::mouseClick(window().fixButton(), Qt::LeftButton);
    EXPECT_FALSE(home.exists("Library/Preferences/com.example.Busy.plist"));
    EXPECT_TRUE(window().findChild<QMessageBox*>(QStringLiteral("sheet")));
}

TEST_F(ChooserGui, AClickMadeBeforeTheSafariQuestionCameUpDoesNotAnswerIt) {
    manyFiles(home.library() + "/Preferences", 3000);
    home.file("Library/Preferences/com.apple.Safari.plist");
    pick(bundle("Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}}));
    ImpatientUser user(window());
    // The click on "Hard" is queued as the question is being put on screen, before anyone
    // could have read it.
    class ClickHardOnShow : public QObject {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* box = qobject_cast<QMessageBox*>(watched);
            if (box && event->type() == QEvent::Show) {
                if (QPushButton* hard = buttonTitled(box, QStringLiteral("Hard"))) {
                    postClick(hard);
                    ++clicks;
                }
            }
            return false;
        }
        int clicks = 0;
    } early;
    qApp->installEventFilter(&early);
    bool answered = false;
    whenModal("QMessageBox", [&](QWidget* box) {
        QTest::qWait(20); // the early click has had every chance to land
        QPushButton* soft = buttonTitled(box, QStringLiteral("Soft"));
        ASSERT_TRUE(soft);
        QTest::mouseClick(soft, Qt::LeftButton);
        answered = true;
    });

    choose();
    user.stop();
    qApp->removeEventFilter(&early);
    QTest::qWait(50);

    EXPECT_EQ(early.clicks, 1);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(frontEnd.delegate().safariAggressive());
    EXPECT_TRUE(info().startsWith(QStringLiteral("Safari Soft Reset"))) << info().toStdString();
    EXPECT_TRUE(home.exists("Library/Preferences/com.apple.Safari.plist"));
    EXPECT_FALSE(window().findChild<QMessageBox*>(QStringLiteral("sheet")));
}

TEST_F(ChooserGui, CancelEscapeOrClosingTheSafariQuestionChooseNeitherReset) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    const std::string safari = bundle("Safari.app", {{"CFBundleIdentifier", "com.apple.Safari"}});
    const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> dismissals = {
        {"Cancel", [](QWidget* box) { buttonTitled(box, QStringLiteral("Cancel"))->click(); }},
        {"Escape",
         [](QWidget* box) {
             box->activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(box));
             QTest::keyClick(box, Qt::Key_Escape);
         }},
        {"close", [](QWidget* box) { box->close(); }},
    };
    for (const auto& [how, dismiss] : dismissals) {
        SCOPED_TRACE(how);
        bool shown = false;
        pick(safari);
        whenModal("QMessageBox", [this, &shown, dismiss = dismiss](QWidget* box) {
            shown = true;
            // The question belongs to the main window, and is placed over it.
            EXPECT_EQ(box->parentWidget(), &window());
            dismiss(box);
            // A box that ignored the dismissal would hold the test until the watchdog.
            if (box->isVisible()) {
                ADD_FAILURE() << "the question is still open";
                buttonTitled(box, QStringLiteral("Soft"))->click();
            }
        });
        choose();
        EXPECT_TRUE(shown);
        EXPECT_FALSE(frontEnd.delegate().safariAggressive());
        // Back to waiting, with nothing to fix and the Safari files where they were.
        EXPECT_EQ(info(), QStringLiteral("Waiting for an app to fix..."));
        EXPECT_FALSE(window().fixButton()->isEnabled());
        EXPECT_FALSE(window().chooseButton()->isHidden());
        EXPECT_EQ(window().windowTitle(), QStringLiteral("Corvane"));
        EXPECT_TRUE(home.exists("Library/Preferences/com.apple.Safari.plist"));
    }
}

TEST_F(ChooserGui, TextsThatLookLikeMarkupAreShownAsWritten) {
    const QString text = QStringLiteral("<b>x</b>&amp;<u>y");
    const std::string written = text.toStdString();
    QtAlerts alerts(&window());
    std::vector<std::pair<std::string, QString>> shown; // where, what it showed

    whenModal("QMessageBox", [&](QWidget* box) {
        shown.emplace_back("alert message", shownText(box->findChild<QLabel*>("qt_msgbox_label")));
        shown.emplace_back("alert text",
                           shownText(box->findChild<QLabel*>("qt_msgbox_informativelabel")));
        buttonTitled(box, QStringLiteral("OK"))->click();
    });
    alerts.runModal({written, written, {{"OK", std::nullopt}}, AlertStyle::Warning});

    alerts.beginSheet({"", written, {{"OK", std::nullopt}}, AlertStyle::Warning}, nullptr, {});
    auto* sheet = window().findChild<QMessageBox*>(QStringLiteral("sheet"));
    ASSERT_TRUE(sheet);
    shown.emplace_back("sheet text",
                       shownText(sheet->findChild<QLabel*>("qt_msgbox_informativelabel")));
    sheet->close();

    // A file name holds no "/": the name field gets markup without closing tags.
    const std::string name = "<u>Under<i>&amp;.app";
    pick(bundle(name, {{"CFBundleIdentifier", "com.example.Markup"}}));
    choose();
    shown.emplace_back("name field", shownText(window().nameField()));

    ASSERT_EQ(shown.size(), 4u);
    for (const auto& [where, what] : shown) {
        EXPECT_EQ(what.toStdString(), where == "name field" ? name : written) << where;
    }
}

TEST_F(ChooserGui, TheFileDialogOpensBesideTheBundlePickedLast) {
    const std::string editor = bundle("Editor.app", {{"CFBundleIdentifier", "com.example.Ed"}});
    pick(editor);
    choose();
    QTest::mouseClick(window().cancelButton(), Qt::LeftButton);

    QString opened;
    whenModal("QFileDialog", [&](QWidget* panel) {
        opened = qobject_cast<QFileDialog*>(panel)->directory().absolutePath();
        qobject_cast<QFileDialog*>(panel)->reject();
    });
    choose();
    EXPECT_EQ(opened.toStdString(), home.path() + "/Downloads");
}

// Drags the file at `path` over the window and drops it there, as a file manager would; true
// when the window took the drop.
bool dropOn(QWidget& window, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path)),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/second.app"))});
    const QPointF at = QRectF(window.rect()).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

TEST_F(ChooserGui, ADroppedItemIsChosenAsThePanelWouldChooseItOnlyWhileWaiting) {
    home.file("Library/Preferences/com.example.Dropped.plist");
    home.file("Downloads/notes.txt", "notes");
    const std::string dropped =
        bundle("Dropped.app", {{"CFBundleIdentifier", "com.example.Dropped"}});

    EXPECT_TRUE(dropOn(window(), dropped));
    EXPECT_EQ(frontEnd.delegate().path(), dropped);
    EXPECT_EQ(window().nameField()->text(), QStringLiteral("Dropped.app"));
    EXPECT_TRUE(info().startsWith(QStringLiteral("Corvane can safely remove")))
        << info().toStdString();
    EXPECT_TRUE(window().fixButton()->isEnabled());

    // With a target chosen, the window takes no drop until (X) returns it to waiting.
    EXPECT_FALSE(dropOn(window(), home.path() + "/Downloads/notes.txt"));
    EXPECT_EQ(frontEnd.delegate().path(), dropped);
    QTest::mouseClick(window().cancelButton(), Qt::LeftButton);

    // Anything else gets the chooser's rejection, as when picked.
    EXPECT_TRUE(dropOn(window(), home.path() + "/Downloads/notes.txt"));
    EXPECT_EQ(frontEnd.delegate().path(), home.path() + "/Downloads/notes.txt");
    EXPECT_FALSE(frontEnd.delegate().isApp());
    EXPECT_FALSE(window().fixButton()->isEnabled());
}

TEST_F(ChooserGui, ADropWhileTheAnalysisWorksIsNotTaken) {
    manyFiles(home.library() + "/Preferences", 3000);
    home.file("Library/Preferences/com.example.First.plist");
    const std::string first = bundle("First.app", {{"CFBundleIdentifier", "com.example.First"}});
    const std::string second = bundle("Second.app", {{"CFBundleIdentifier", "com.example.Second"}});
    const auto previous = ResponsiveWork::defaultInterval();
    ResponsiveWork::setDefaultInterval(std::chrono::milliseconds(1));
    int attempts = 0;
    int taken = 0;
    QTimer dropper;
    QObject::connect(&dropper, &QTimer::timeout, [&] {
        if (!window().busyBar()->isHidden()) {
            ++attempts;
            taken += dropOn(window(), second) ? 1 : 0;
        }
    });
    dropper.start(0);
    pick(first);
    choose();
    dropper.stop();
    ResponsiveWork::setDefaultInterval(previous);

    ASSERT_GT(attempts, 0);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(frontEnd.delegate().path(), first);
    EXPECT_EQ(window().nameField()->text(), QStringLiteral("First.app"));
}

} // namespace
} // namespace corvane::testing
