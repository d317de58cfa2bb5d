#include "gui/QtDialogs.h"
#include "support/GuiHelpers.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Typing narrows the list by name or id, letter case aside; Return picks the first application
// left (or none, and the list stays open), Escape cancels.
TEST(ApplicationChooser, TypingNarrowsTheListAndReturnPicks) {
    const std::vector<InstalledChoice> choices = {{"Calculator", "org.gnome.Calculator", ""},
                                                  {"Text Editor", "org.gnome.TextEditor", ""},
                                                  {"Videos", "org.gnome.Totem", "/no/icon.png"}};
    struct Case {
        const char* typed;
        std::vector<Qt::Key> keys; // after typing, in the search field
        std::optional<std::size_t> chosen;
    };
    const std::vector<Case> cases = {
        {"edit", {Qt::Key_Return}, 1},
        {"TOTEM", {Qt::Key_Return}, 2},
        {"", {Qt::Key_Return}, 0},
        {"nothing like it", {Qt::Key_Return, Qt::Key_Escape}, std::nullopt},
        {"calc", {Qt::Key_Escape}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        bool named = true;
        QTimer::singleShot(50, qApp, [&c, &named] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            QApplication::setActiveWindow(dialog);
            for (QWidget* control : dialog->findChildren<QWidget*>()) {
                if ((qobject_cast<QLineEdit*>(control) || qobject_cast<QListView*>(control) ||
                     qobject_cast<QPushButton*>(control)) &&
                    control->accessibleName().isEmpty()) {
                    named = false;
                }
            }
            auto* search = dialog->findChild<QLineEdit*>();
            ASSERT_TRUE(search);
            QTest::keyClicks(search, QString::fromUtf8(c.typed));
            if (c.typed == std::string("edit")) {
                saveScreenshot(*dialog, QStringLiteral("installed-applications"));
            }
            for (const Qt::Key key : c.keys) {
                if (key == Qt::Key_Escape) {
                    EXPECT_TRUE(dialog->isVisible()) << "closed before Escape";
                }
                QTest::keyClick(search, key);
            }
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the keys did not close the list";
                dialog->reject();
            }
        });
        QtApplicationChooser chooser(nullptr);
        EXPECT_EQ(chooser.chooseApplication(choices), c.chosen);
        EXPECT_TRUE(named) << "a control has no accessible name";
    }
}

} // namespace
} // namespace corvane::testing
