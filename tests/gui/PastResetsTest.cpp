#include "gui/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// A reset that cannot come back (a damaged record, or one whose entries left the Trash) is
// listed but never chosen: the arrows pass over it, and Return takes the row they reached.
TEST(PastResets, TheArrowsPassOverAResetThatCannotComeBack) {
    const std::vector<PastReset> resets = {{"newest", "A.app", "1", "1", "", true},
                                           {"damaged", "", "", "", "", false},
                                           {"oldest", "B.app", "2", "2", "", true}};
    const std::vector<std::pair<std::vector<Qt::Key>, std::optional<std::size_t>>> rows = {
        {{Qt::Key_Down, Qt::Key_Return}, 2},
        {{Qt::Key_Down, Qt::Key_Up, Qt::Key_Return}, 0},
        {{Qt::Key_Down, Qt::Key_Escape}, std::nullopt},
    };
    for (const auto& [keys, chosen] : rows) {
        QTimer::singleShot(50, qApp, [&keys = keys] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            QApplication::setActiveWindow(dialog);
            auto* list = dialog->findChild<QTreeWidget*>();
            ASSERT_TRUE(list);
            for (const Qt::Key key : keys) {
                QTest::keyClick(list, key);
            }
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the keys did not close the list";
                dialog->reject();
            }
        });
        QtResetChooser chooser(nullptr);
        EXPECT_EQ(chooser.chooseReset(resets, 0), chosen);
    }
}

} // namespace
} // namespace corvane::testing
