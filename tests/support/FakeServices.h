#pragma once

#include "app/Application.h"
#include "app/Dialogs.h"
#include "ports/Services.h"
#include "ports/Workspace.h"

#include <deque>
#include <functional>
#include <map>
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

class MapWorkspace : public Workspace {
public:
    std::optional<std::string> fullPathForApplication(const std::string& name) const override;
    std::map<std::string, std::string> applications; // name (with ".app") -> path
};

// Answers from the maps; a path in neither is no bundle.
class MapBundleReader : public BundleReader {
public:
    Result<BundleInfo, BundleError> readBundle(const std::string& bundlePath) const override;
    std::map<std::string, BundleInfo> bundles;   // path -> info
    std::map<std::string, BundleError> failures; // path -> why it could not be read
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

class RecordingLog : public SystemLog {
public:
    void log(const std::string& line) override { lines.push_back(line); }
    void debug(const std::string& line) override { debugLines.push_back(line); }
    std::vector<std::string> lines;
    std::vector<std::string> debugLines;
};

} // namespace corvane::testing
