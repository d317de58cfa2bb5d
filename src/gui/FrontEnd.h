#pragma once

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "gui/InputGate.h"
#include "ports/Services.h"

#include <QMenu>
#include <QObject>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class DesktopNotifications;
class HostFacilities;
class MainWindow;
class QtAlerts;
class QtOpenPanel;
class QtResetChooser;
class QtApplicationChooser;
class QtUrlLoader;

// Names the program to the desktop: its name, version, desktop entry and window icon.
void describeApplication();

// Terminates through the event loop, after the current event has been handled. Long work keeps
// the window painted, deaf to input, through the input gate.
class QtApplication : public Application {
public:
    void terminateLater() override;
    void keepResponsive() override;
    void beginBusy(bool cancellable) override;
    void endBusy() override;

    InputGate& inputGate() { return m_gate; }

private:
    InputGate m_gate;
};

// Owns the main window, the host services and the controller, and connects the window's
// controls to the controller's actions.
class FrontEnd : public QObject {
    Q_OBJECT
public:
    FrontEnd();
    // On the host's facilities given, as a test hands them over.
    explicit FrontEnd(std::unique_ptr<HostFacilities> host);
    ~FrontEnd() override;

    // Shows the window and runs start-up; with an application, chooses it as the open panel
    // would.
    void start(const std::optional<std::string>& application = std::nullopt);

    MainWindow& window() { return *m_window; }
    AppDelegate& delegate() { return *m_delegate; }

    // The report's context menu for a point of the report: "Copy List" copies the full path of
    // every listed entry, one a line; "Show in File Manager" shows the entry of that line.
    std::unique_ptr<QMenu> reportMenu(const QPoint& point);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Help > About Corvane: the version, the licence and the project's address.
    void showAbout();
    // The count beside the report, after the report changed.
    void countEntries();
    // The launch's second step, once: after the window's first paint, or before the first input
    // when that comes sooner, so that the input meets the window in its launched state.
    void finishLaunching();
    bool m_launchFinished = false;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<HostFacilities> m_host;
    std::unique_ptr<QtAlerts> m_alerts;
    std::unique_ptr<QtOpenPanel> m_openPanel;
    std::unique_ptr<QtResetChooser> m_resetChooser;
    std::unique_ptr<QtApplicationChooser> m_applicationChooser;
    std::unique_ptr<QtApplication> m_application;
    std::unique_ptr<QtUrlLoader> m_urlLoader;
    std::unique_ptr<DesktopNotifications> m_notifications;
    std::unique_ptr<AppDelegate> m_delegate;
};

} // namespace corvane
