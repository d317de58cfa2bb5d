#pragma once

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "host/posix/HostFileSystem.h"
#include "ports/Ports.h"
#include "support/FixDoubles.h"
#include "support/PortDoubles.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {

// Answers modal alerts from a script and records every alert and sheet shown.
class ScriptedAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;
    void beginSheet(const Alert& alert, Window* parent, std::function<void(int)> done) override;

    std::deque<int> answers; // kAlertFirstButtonReturn when the script runs out
    std::vector<Alert> shown;
    std::vector<Alert> sheets;
};

// Answers the list of past resets from a script (the preselected row when it runs out) and
// records every list shown.
class ScriptedResetChooser : public ResetChooser {
public:
    std::optional<std::size_t> chooseReset(const std::vector<PastReset>& resets,
                                           std::size_t preselected) override;
    std::deque<std::optional<std::size_t>> answers;
    std::vector<std::pair<std::vector<PastReset>, std::size_t>> shown;
};

class ScriptedOpenPanel : public OpenPanel {
public:
    std::optional<std::string> runModal(const OpenPanelOptions& options) override;
    std::deque<std::optional<std::string>> picks; // cancelled when the script runs out
    std::vector<OpenPanelOptions> shown;
};

class RecordingApplication : public Application {
public:
    void terminateLater() override { ++terminateRequests; }
    void keepResponsive() override {
        ++responsivePasses;
        if (onPass) {
            onPass();
        }
    }
    void beginBusy(bool cancellable) override { openSpans.push_back(cancellable); }
    void endBusy() override { openSpans.pop_back(); }
    int terminateRequests = 0;
    int responsivePasses = 0;
    std::vector<bool> openSpans;  // the busy spans open now, innermost last: may it be cancelled
    std::function<void()> onPass; // what the user does while the window is kept responsive
};

// Which double stands for each port and window part of a controller. Every entry starts at an
// inert double of its own (the real file system, no application installed or running, no
// process started, an empty cookie store); a test points entries at its own doubles before the
// controller is made. The optional ones start as none.
class DelegateDoubles {
public:
    DelegateDoubles() = default;
    DelegateDoubles(const DelegateDoubles&) = delete;
    DelegateDoubles& operator=(const DelegateDoubles&) = delete;

    Ports ports() const;
    WindowParts windowParts() const;

private:
    HostFileSystem m_fileSystem;
    MapWorkspace m_workspace;
    MapBundleReader m_bundles;
    NoProcessLauncher m_launcher;
    ScriptedRunningApplications m_running;
    RecordingCookieStore m_cookies;
    RecordingLog m_log;
    ScriptedOpenPanel m_openPanel;
    ScriptedAlerts m_alerts;
    RecordingApplication m_application;

public:
    FileSystem* fileSystem = &m_fileSystem;
    Workspace* workspace = &m_workspace;
    BundleReader* bundles = &m_bundles;
    ProcessLauncher* launcher = &m_launcher;
    RunningApplications* runningApplications = &m_running;
    CookieStore* cookieStore = &m_cookies;
    SystemLog* systemLog = &m_log;
    Trash* trash = nullptr;
    Clock* clock = nullptr;
    DesktopApplications* desktopApplications = nullptr;
    SettingsDatabase* settingsDatabase = nullptr;
    SessionProcesses* sessionProcesses = nullptr;
    OpenPanel* openPanel = &m_openPanel;
    Alerts* alerts = &m_alerts;
    Application* application = &m_application;
    UrlLoader* urlLoader = nullptr;
    Notifications* notifications = nullptr;
    ResetChooser* resetChooser = nullptr;
    ApplicationChooser* applicationChooser = nullptr;
};

} // namespace corvane::testing
