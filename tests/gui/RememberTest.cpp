#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
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

// Hands the file dialog, once it is up, to `answer`. A loaded machine may take seconds to show
// it; one that never comes is a failure, and whatever modal window is up is closed so that the
// test ends instead of waiting for ever.
void whenPanel(std::function<void(QFileDialog*)> answer, int attempts = 3000) {
    QTimer::singleShot(10, qApp, [=] {
        if (auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            answer(panel);
            // An answer given before the panel has read its folder may not take: it is given
            // again while the panel stays up.
            QTimer::singleShot(200, qApp, [=, open = QPointer<QFileDialog>(panel)] {
                if (open && open->isVisible() && attempts > 0) {
                    whenPanel(answer, attempts - 20);
                }
            });
        } else if (attempts > 0) {
            whenPanel(answer, attempts - 1);
        } else {
            ADD_FAILURE() << "no file panel came up";
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
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
        // As the user picks: the name typed, then Open.
        whenPanel([&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            if (!name || !buttons) {
                ADD_FAILURE() << "the file panel has no name field or buttons";
                dialog->reject();
                return;
            }
            name->setText(tools + "/Notes.txt");
            QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
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
