#include "BuildInfo.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"
#include "support/FakeServices.h"
#include "support/GuiHelpers.h"
#include "support/UpdateDoubles.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Notes when termination is asked for, then asks the real event loop.
class NotingApplication : public Application {
public:
    explicit NotingApplication(std::vector<std::string>& events) : m_events(events) {}
    void terminateLater() override {
        m_events.push_back("terminate asked");
        m_real.terminateLater();
    }

private:
    std::vector<std::string>& m_events;
    QtApplication m_real;
};

// The newer-version alert in the real widgets, answered by pressing one of its buttons.
class UpdateAlert : public ::testing::Test {
protected:
    UpdateAlert() : alerts(&window), application(events) {
        launcher.onRun = [this] { events.push_back("open"); };
        services.alerts = &alerts;
        services.launcher = &launcher;
        services.application = &application;
        delegate = std::make_unique<AppDelegate>(window.outlets(), services.ports(),
                                                 services.windowParts());
        window.show();
    }

    // Shows the alert for a newer version, presses `button` and runs the event loop until it
    // ends; returns the loop's exit code (0 when the application quit).
    int answer(const QString& button) {
        QTimer presser;
        presser.setInterval(20);
        QObject::connect(&presser, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            presser.stop();
            messageText = box->text();
            informativeText = box->informativeText();
            QAbstractButton* pressed = nullptr;
            for (QAbstractButton* candidate : box->buttons()) {
                const QString shown =
                    QAccessible::queryAccessibleInterface(candidate)->text(QAccessible::Name);
                buttonTitles << shown;
                shownTitles << shown;
                if (shown == button) {
                    pressed = candidate;
                }
            }
            saveScreenshot(*box, QStringLiteral("update-newer-version"));
            if (pressed) {
                pressed->click();
            }
        });
        presser.start();
        QTimer::singleShot(0, &window, [this] {
            delegate->parseUpdate(std::string("99.0\n"));
            events.push_back("check ended");
        });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        safety.start(10000);
        const int code = QApplication::exec();
        events.push_back("loop ended");
        return code;
    }

    MainWindow window;
    QtAlerts alerts;
    ToolRunRecorder launcher;
    std::vector<std::string> events;
    NotingApplication application;
    DelegateDoubles services;
    std::unique_ptr<AppDelegate> delegate;
    QString messageText;
    QString informativeText;
    QStringList buttonTitles;
    QStringList shownTitles; // as the user sees and hears them, mnemonic marks removed
};

TEST_F(UpdateAlert, QuitAndUpdateOpensTheProductPageAndTheApplicationEnds) {
    EXPECT_EQ(answer(QStringLiteral("Quit & Update")), 0);
    EXPECT_EQ(messageText, QStringLiteral("Corvane"));
    EXPECT_EQ(informativeText, QStringLiteral("A newer version of Corvane is available."));
    buttonTitles.sort();
    EXPECT_EQ(buttonTitles,
              (QStringList{QStringLiteral("Not now"), QStringLiteral("Quit & Update")}));
    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_EQ(launcher.runs[0].launchPath, launcher.toolPath(Tool::Open));
    EXPECT_EQ(launcher.runs[0].arguments, std::vector<std::string>{build::kProductUrl});
    // The page is opened, then quitting is asked for, and the application ends only after the
    // check has finished.
    EXPECT_EQ(events,
              (std::vector<std::string>{"open", "terminate asked", "check ended", "loop ended"}));
}

TEST_F(UpdateAlert, NotNowLeavesTheApplicationRunning) {
    QTimer::singleShot(300, &window, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(answer(QStringLiteral("Not now")), 7);
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"check ended", "loop ended"}));
    EXPECT_TRUE(window.isVisible());
}

// Qt reads "&" in a button title as the mark of a keyboard mnemonic, so "Quit & Update" shows
// as "Quit  Update" with the space underlined unless the dialog adapter doubles the "&".
TEST_F(UpdateAlert, TheUpdateButtonShowsItsAmpersand) {
    QTimer::singleShot(300, &window, [] { QCoreApplication::exit(7); });
    answer(QStringLiteral("Not now"));
    EXPECT_TRUE(shownTitles.contains(QStringLiteral("Quit & Update")))
        << shownTitles.join(u'|').toStdString();
}

} // namespace
} // namespace corvane::testing
