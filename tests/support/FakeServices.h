#pragma once

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "support/InertPorts.h"

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

// Which double stands for each port and window part of a controller: the ports as InertPorts
// has them, and an inert double of each window part; a test points entries at its own doubles
// before the controller is made.
class DelegateDoubles : public InertPorts {
public:
    WindowParts windowParts() const;

private:
    ScriptedOpenPanel m_openPanel;
    ScriptedAlerts m_alerts;
    RecordingApplication m_application;

public:
    OpenPanel* openPanel = &m_openPanel;
    Alerts* alerts = &m_alerts;
    Application* application = &m_application;
    UrlLoader* urlLoader = nullptr;
    Notifications* notifications = nullptr;
    ResetChooser* resetChooser = nullptr;
    ApplicationChooser* applicationChooser = nullptr;
};

} // namespace corvane::testing
