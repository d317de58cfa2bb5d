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

std::optional<std::size_t> ScriptedResetChooser::chooseReset(const std::vector<PastReset>& resets,
                                                             std::size_t preselected) {
    shown.emplace_back(resets, preselected);
    if (answers.empty()) {
        return preselected;
    }
    const std::optional<std::size_t> answer = answers.front();
    answers.pop_front();
    return answer;
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

WindowParts DelegateDoubles::windowParts() const {
    WindowParts parts{*openPanel, *alerts, *application};
    parts.urlLoader = urlLoader;
    parts.notifications = notifications;
    parts.resetChooser = resetChooser;
    parts.applicationChooser = applicationChooser;
    return parts;
}

} // namespace corvane::testing
