#include "support/FakeServices.h"

namespace corvane::testing {

int ScriptedAlerts::runModal(const Alert& alert) {
    shown.push_back(alert);
    if (answers.empty()) {
        return kAlertFirstButtonReturn;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedAlerts::beginSheet(const Alert& alert, Window*, std::function<void(int)>) {
    sheets.push_back(alert);
}

std::optional<std::string> ScriptedOpenPanel::runModal(const OpenPanelOptions& options) {
    shown.push_back(options);
    if (picks.empty()) {
        return std::nullopt;
    }
    auto pick = picks.front();
    picks.pop_front();
    return pick;
}

std::optional<std::string> MapWorkspace::fullPathForApplication(const std::string& name) const {
    const std::string key =
        name.size() > 4 && name.substr(name.size() - 4) == ".app" ? name : name + ".app";
    const auto found = applications.find(key);
    return found == applications.end() ? std::nullopt : std::optional(found->second);
}

std::optional<BundleInfo> MapBundleReader::readBundle(const std::string& bundlePath) const {
    const auto found = bundles.find(bundlePath);
    return found == bundles.end() ? std::nullopt : std::optional(found->second);
}

} // namespace corvane::testing
