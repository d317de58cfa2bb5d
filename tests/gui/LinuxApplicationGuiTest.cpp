#include "core/analysis/SettingsKind.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "host/HostFacilities.h"
#include "support/EnvironmentScope.h"
#include "support/GuiHelpers.h"
#include "support/MemorySettingsDatabase.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// The host's own facilities, with the settings database held in memory: the session bus the
// tests run on starts dconf's service with the environment of whoever runs them, so a change
// through it would land in their own settings.
class HostWithSettings final : public HostFacilities {
public:
    explicit HostWithSettings(SettingsDatabase& settings) : m_settings(settings) {}
    Ports ports() override {
        Ports ports = m_host->ports();
        ports.settingsDatabase = &m_settings;
        return ports;
    }
    void setLogEchoToStandardError(bool echo) override { m_host->setLogEchoToStandardError(echo); }

private:
    std::unique_ptr<HostFacilities> m_host = makeHostFacilities();
    SettingsDatabase& m_settings;
};

// GNOME Text Editor as it lies in a home: its desktop file, its settings in the settings
// database, its session in the state folder and its unsaved drafts among its data. Chosen from
// the list of installed applications, the window lists the settings folder with its keys and the
// session, never the drafts; Fix resets them and Restore brings them back as they were.
TEST(LinuxApplicationGui, TextEditorIsListedResetAndRestoredThroughTheWindow) {
    TempHome home;
    const EnvironmentScope environment({{"XDG_DATA_DIRS", home.path() + "/system/share"},
                                        {"XDG_CONFIG_HOME", std::nullopt},
                                        {"XDG_STATE_HOME", std::nullopt},
                                        {"XDG_CACHE_HOME", std::nullopt}});
    home.file("system/share/applications/org.gnome.TextEditor.desktop",
              "[Desktop Entry]\nType=Application\nName=Text Editor\n"
              "Exec=gnome-text-editor %U\nIcon=org.gnome.TextEditor\n");
    home.file("system/share/applications/org.gnome.Calculator.desktop",
              "[Desktop Entry]\nType=Application\nName=Calculator\nExec=gnome-calculator\n");
    const std::string session = ".local/state/org.gnome.TextEditor/session.gvariant";
    const std::string sessionBytes = std::string("\x01\x00session\xff", 10);
    home.file(session, sessionBytes);
    home.file(".local/share/org.gnome.TextEditor/drafts/7f3a", "an unsaved draft");
    MemorySettingsDatabase settings;
    settings.keys = {{"/org/gnome/TextEditor/style-scheme", "'classic-dark'"},
                     {"/org/gnome/TextEditor/show-line-numbers", "true"},
                     {"/org/gnome/TextEditor/custom-font", "'Monospace 13'"},
                     {"/org/gnome/Calculator/precision", "9"}};
    const SettingsValues before = settings.keys;

    FrontEnd frontEnd(std::make_unique<HostWithSettings>(settings));
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTimer::singleShot(50, qApp, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        QApplication::setActiveWindow(dialog);
        auto* search = dialog->findChild<QLineEdit*>();
        ASSERT_TRUE(search);
        QTest::keyClicks(search, QStringLiteral("text"));
        QTest::keyClick(search, Qt::Key_Return);
    });
    window.chooseInstalledAction()->trigger();

    const QString report = window.infoView()->toPlainText();
    EXPECT_EQ(window.nameField()->text(), QStringLiteral("Text Editor"));
    EXPECT_TRUE(
        report.contains(QString::fromStdString(settingsFolderShown("/org/gnome/TextEditor/", 3))))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("session.gvariant"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("drafts"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("Calculator"))) << report.toStdString();
    saveScreenshot(window, QStringLiteral("linux-application-report"));

    ASSERT_TRUE(window.fixButton()->isEnabled());
    QTest::mouseClick(window.fixButton(), Qt::LeftButton);
    if (auto* sheet = window.findChild<QMessageBox*>(QStringLiteral("sheet"))) {
        sheet->accept();
    }
    EXPECT_EQ(settings.keys, (SettingsValues{{"/org/gnome/Calculator/precision", "9"}}));
    EXPECT_FALSE(home.exists(session));
    EXPECT_EQ(contentOf(home.path() + "/.local/share/org.gnome.TextEditor/drafts/7f3a"),
              "an unsaved draft");

    ASSERT_TRUE(window.restoreButton()->isEnabled());
    QString question;
    QString result;
    answerAlert(QStringLiteral("Restore"), &question,
                [&result] { answerAlert(QStringLiteral("OK"), &result); });
    QTest::mouseClick(window.restoreButton(), Qt::LeftButton);
    EXPECT_EQ(settings.keys, before) << "value for value";
    EXPECT_EQ(contentOf(home.path() + "/" + session), sessionBytes) << "byte for byte";
}

} // namespace
} // namespace corvane::testing
