#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/GuiHelpers.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <set>

namespace corvane::testing {
namespace {

// Stands in for the desktop's file manager on the session bus and notes what it was asked.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString& startupId) {
        (void)startupId;
        shown += uris;
    }

public:
    QStringList shown;
};

QAction* actionTitled(QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        frontEnd.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frontEnd.window()));
    }
    QTextEdit& view() { return *frontEnd.window().infoView(); }
    // A point on the report's line that ends with `text`.
    std::optional<QPoint> lineEndingWith(const QString& text) {
        for (QTextBlock block = view().document()->begin(); block.isValid(); block = block.next()) {
            if (block.text().endsWith(text)) {
                QTextCursor cursor(block);
                return view().cursorRect(cursor).center();
            }
        }
        return std::nullopt;
    }

    TempHome home;
    FrontEnd frontEnd;
};

TEST_F(Report, ListsACountBesideItLongPathsOnOneLineAndAMenuForTheEntries) {
    const std::string id = "org.corvane.test.Report";
    const std::string longName = id + ".plist." + std::string(180, 'x');
    home.file("Library/Preferences/" + id + ".plist");
    home.file("Library/Preferences/" + longName);
    home.file("Library/Saved Application State/" + id + ".savedState/windows.plist");
    const std::set<QString> full = {
        QString::fromStdString(home.library() + "/Preferences/" + id + ".plist"),
        QString::fromStdString(home.library() + "/Preferences/" + longName),
        QString::fromStdString(home.library() + "/Saved Application State/" + id + ".savedState"),
        QString::fromStdString(home.library() + "/Saved Application State/" + id +
                               ".savedState/windows.plist")};
    const std::string bundle = makeBundle(home.path() + "/Applications", "Report.app",
                                          xmlInfoPlist({{"CFBundleIdentifier", id}}));
    frontEnd.delegate().chooseAppAtPath(bundle);

    // The count stands beside the report, which keeps its own text.
    QLabel* count = frontEnd.window().entryCountLabel();
    EXPECT_TRUE(count->isVisible());
    EXPECT_TRUE(count->text().startsWith(QStringLiteral("4 "))) << count->text().toStdString();
    EXPECT_FALSE(view().toPlainText().contains(count->text()));

    // The long entry is one line; the report scrolls sideways for it.
    const std::optional<QPoint> longLine = lineEndingWith(QString::fromStdString(longName));
    ASSERT_TRUE(longLine);
    const QTextBlock block = view().cursorForPosition(*longLine).block();
    EXPECT_EQ(block.layout()->lineCount(), 1);
    EXPECT_GT(view().horizontalScrollBar()->maximum(), 0);
    saveScreenshot(frontEnd.window(), QStringLiteral("report-long-entries"));

    // Copy List: every entry's full path, one a line.
    const std::unique_ptr<QMenu> menu = frontEnd.reportMenu(*longLine);
    QAction* copy = actionTitled(*menu, QStringLiteral("Copy List"));
    ASSERT_TRUE(copy);
    copy->trigger();
    const QStringList copied =
        QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(std::set<QString>(copied.begin(), copied.end()), full);

    // Show in File Manager asks the desktop's file manager for the entry of that line only.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        GTEST_SKIP() << "no session bus";
    }
    FakeFileManager manager;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                   QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    QAction* show = actionTitled(*menu, QStringLiteral("Show in File Manager"));
    ASSERT_TRUE(show);
    EXPECT_TRUE(show->isEnabled());
    show->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 3000));
    EXPECT_EQ(manager.shown,
              QStringList{QUrl::fromLocalFile(
                              QString::fromStdString(home.library() + "/Preferences/" + longName))
                              .toString()});
    // A line that names no entry has nothing to show.
    const std::unique_ptr<QMenu> onText = frontEnd.reportMenu(view().cursorRect().center());
    EXPECT_FALSE(actionTitled(*onText, QStringLiteral("Show in File Manager"))->isEnabled());
    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
}

} // namespace
} // namespace corvane::testing

#include "ReportTest.moc"
