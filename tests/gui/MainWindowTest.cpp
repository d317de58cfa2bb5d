#include "gui/MainWindow.h"

#include "gui/FrontEnd.h"
#include "support/GuiHelpers.h"
#include "support/TempHome.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

TEST(MainWindowStartup, ShowsTheWaitingLook) {
    TempHome home;
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The desktop's theme colours the window; nothing forces a colour of its own.
    EXPECT_EQ(window.palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Corvane"));
    EXPECT_EQ(window.infoView()->toPlainText(), QStringLiteral("Waiting for an app to fix..."));
    const QColor blue = QColor::fromRgbF(0.0f, 0.5f, 0.8f);
    for (const ColourRun& run : colourRuns(*window.infoView())) {
        EXPECT_EQ(run.colour, blue);
    }
    EXPECT_EQ(window.infoView()->document()->defaultFont().pointSizeF(), 12.0);
    EXPECT_FALSE(window.fixButton()->isEnabled());
    EXPECT_TRUE(window.iconView()->isHidden());
    EXPECT_FALSE(window.chooseButton()->isHidden());
    EXPECT_FALSE(window.chooseButton()->icon().isNull());
    EXPECT_EQ(window.cancelButton()->text(), QStringLiteral("(X)"));
    // A screen reader finds the hint by its name, beside the magnifier.
    QLabel* hint = nullptr;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->accessibleName() == QStringLiteral("Hint")) {
            hint = label;
        }
    }
    ASSERT_TRUE(hint);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("magnifier")));

    const QString shot = saveScreenshot(window, QStringLiteral("startup"));
    EXPECT_TRUE(QFileInfo(shot).size() > 0);
}

TEST(MainWindowStartup, EveryControlHasItsAccessibleName) {
    MainWindow window;
    const std::vector<std::pair<QWidget*, QString>> expected = {
        {window.chooseButton(), QStringLiteral("Choose application")},
        {window.nameField(), QStringLiteral("Application name")},
        {window.infoView(), QStringLiteral("Information")},
        {window.fixButton(), QStringLiteral("Fix")},
        {window.iconView(), QStringLiteral("Application icon")},
        {window.cancelButton(), QStringLiteral("Cancel")},
        {window.updateButton(), QStringLiteral("Check for updates")}};
    for (const auto& [widget, name] : expected) {
        EXPECT_EQ(widget->accessibleName(), name);
    }
}

TEST(MainWindowStartup, ClosingTheWindowQuitsAndCancelDoesNotCrash) {
    TempHome home;
    FrontEnd frontEnd;
    frontEnd.start();
    QTest::mouseClick(frontEnd.window().cancelButton(), Qt::LeftButton);
    EXPECT_EQ(frontEnd.window().infoView()->toPlainText(),
              QStringLiteral("Waiting for an app to fix..."));
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    // Closing the window from inside the event loop must end that loop by itself.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(3000);
    QTimer::singleShot(0, &frontEnd.window(), [&] { frontEnd.window().close(); });
    EXPECT_EQ(QApplication::exec(), 0);
}

} // namespace
} // namespace corvane::testing
