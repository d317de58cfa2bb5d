#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/GuiHelpers.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Contrast ratio of two colours as the Web Content Accessibility Guidelines define it.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// A dark palette as a desktop theme (Fusion with qt6ct's dark colours) gives one.
QPalette darkPalette() {
    QPalette dark;
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x23, 0x23, 0x23);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, window);
        dark.setColor(group, QPalette::WindowText, Qt::white);
        dark.setColor(group, QPalette::Base, base);
        dark.setColor(group, QPalette::AlternateBase, window);
        dark.setColor(group, QPalette::Text, Qt::white);
        dark.setColor(group, QPalette::Button, window);
        dark.setColor(group, QPalette::ButtonText, Qt::white);
        dark.setColor(group, QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    }
    return dark;
}

// Puts the application's palette back when the test ends, passed or not.
class PaletteScope {
public:
    PaletteScope() : m_saved(QApplication::palette()) {}
    ~PaletteScope() { QApplication::setPalette(m_saved); }
    PaletteScope(const PaletteScope&) = delete;
    PaletteScope& operator=(const PaletteScope&) = delete;

private:
    QPalette m_saved;
};

// Presses the Safari question's Hard button once it is up.
void answerHard(int attempts = 500) {
    QTimer::singleShot(10, qApp, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts > 0) {
                answerHard(attempts - 1);
            }
            return;
        }
        for (auto* button : box->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Hard")) {
                button->click();
                return;
            }
        }
        box->reject();
    });
}

TEST(Theme, TheReportReadsOnALightAndADarkPaletteAndFollowsAChange) {
    const PaletteScope scope;
    const QPalette light = QApplication::palette();
    TempHome home;
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Safari/Bookmarks.plist");
    const std::string safari =
        makeBundle(home.path() + "/Applications", "Safari.app",
                   xmlInfoPlist({{"CFBundleIdentifier", "com.apple.Safari"}}));
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    answerHard();
    frontEnd.delegate().chooseAppAtPath(safari);
    ASSERT_TRUE(frontEnd.delegate().safariAggressive());
    const std::vector<ColourRun> onLight = colourRuns(*window.infoView());
    ASSERT_GE(onLight.size(), 2u) << "the notice and the lists differ in colour";
    saveScreenshot(window, QStringLiteral("theme-light"));

    for (const bool dark : {true, false}) {
        SCOPED_TRACE(dark ? "dark" : "light again");
        QApplication::setPalette(dark ? darkPalette() : light);
        QCoreApplication::processEvents();
        const QPalette& now = window.palette();
        // Nothing keeps a colour of its own: the window, the report's page and the menus
        // take the theme's.
        EXPECT_EQ(now.color(QPalette::Window), QApplication::palette().color(QPalette::Window));
        const QPalette page = window.infoView()->palette();
        EXPECT_EQ(page.color(QPalette::Base), QApplication::palette().color(QPalette::Base));
        const QPalette menus = window.menuBar()->palette();
        EXPECT_GE(contrast(menus.color(QPalette::WindowText), menus.color(QPalette::Window)), 4.5);
        // The name reads as a heading on the window, not as a slab of its own.
        const QPalette name = window.nameField()->palette();
        EXPECT_EQ(name.color(QPalette::Base), now.color(QPalette::Window));
        EXPECT_GE(contrast(name.color(QPalette::Text), name.color(QPalette::Base)), 4.5);

        const std::vector<ColourRun> runs = colourRuns(*window.infoView());
        ASSERT_EQ(runs.size(), onLight.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].start, onLight[i].start);
            if (dark) {
                // Each colour keeps its hue, lightened until it reads on the dark page.
                EXPECT_GE(contrast(runs[i].colour, page.color(QPalette::Base)), 4.5)
                    << runs[i].colour.name().toStdString();
                EXPECT_EQ(runs[i].colour.hslHue(), onLight[i].colour.hslHue());
            } else {
                EXPECT_EQ(runs[i].colour, onLight[i].colour);
            }
        }
        if (dark) {
            saveScreenshot(window, QStringLiteral("theme-dark"));
        }
    }
}

} // namespace
} // namespace corvane::testing
