#include "app/Alerts.h"

#include "base/Text.h"

namespace corvane {

Alert safariModePrompt() {
    Alert alert;
    alert.messageText = "Corvane";
    alert.informativeText =
        "Choose 'Soft' to solve most problems with Safari. A 'Hard' reset will completely "
        "remove all Safari's cookies, history, extensions, bookmarks, top sites and all other "
        "data. Normally this is not necessary and a 'soft' reset will resolve most problems, "
        "including many adware hijacks. It is recommended a 'Hard' reset only be performed if a "
        "'Soft' reset does not resolve the issue.";
    alert.buttons = {
        {"Hard", std::string()}, {"Soft", std::string("\r")}, {"Cancel", std::nullopt}};
    return alert;
}

Alert didNotQuitAlert(const std::string& name, const std::string& undone,
                      const std::string& button) {
    Alert alert;
    alert.messageText = "Corvane";
    alert.informativeText = name + " did not quit, so nothing was " + undone + ". Please quit " +
                            name + " yourself, then press \"" + button + "\" again.";
    alert.buttons = {{"OK", std::nullopt}};
    alert.style = AlertStyle::Warning;
    return alert;
}

Alert removeForGoodQuestion(const Untrashable& untrashable) {
    constexpr std::size_t kMaxNamed = 10;
    const std::size_t count = untrashable.paths.size();
    Alert question;
    question.messageText = untrashable.sentence() + ". Remove them for good?";
    for (std::size_t i = 0; i < count && i < kMaxNamed; ++i) {
        question.informativeText += untrashable.paths[i] + "\n";
    }
    if (count > kMaxNamed) {
        question.informativeText += andMore(count - kMaxNamed) + ".\n";
    }
    question.buttons = {{"Cancel", std::string("\r")}, {"Remove for Good", std::string()}};
    question.style = AlertStyle::Critical;
    question.purpose = AlertPurpose::RemoveForGood;
    return question;
}

} // namespace corvane
