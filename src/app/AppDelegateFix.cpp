#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "app/ResponsiveWork.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"
#include "core/fix/Interruption.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/ResetTransaction.h"
#include "core/fix/SystemTarget.h"
#include "core/linuxapps/ApplicationQuit.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <variant>

namespace corvane {

namespace {

constexpr const char* kSystemTargetText = "Please log out and log back in to complete the restore.";
constexpr const char* kFixingText = "Fixing...";
constexpr const char* kRunningText = "App is running. Trying to quit...";
constexpr const char* kNotRunningText = "App isn't running, starting to fix...";

// "App is running. Trying to quit... 8 s": whole seconds left, rounded up.
std::string countdownText(std::chrono::milliseconds left) {
    const auto seconds = (std::max<std::int64_t>(left.count(), 0) + 999) / 1000;
    return std::string(kRunningText) + " " + std::to_string(seconds) + " s";
}

} // namespace

AppDelegate::ShownInfo AppDelegate::shownInfo() const {
    if (!_outlets.infoField) {
        return {};
    }
    return {_outlets.infoField->string(), _outlets.infoField->colourRuns()};
}

void AppDelegate::showInfo(const ShownInfo& shown) {
    if (TextView* info = _outlets.infoField) {
        info->setString(shown.text);
        for (const ColourRun& run : shown.colours) {
            info->setTextColor(run.color, run.location, run.length);
        }
    }
}

QuitWaitOutcome AppDelegate::waitForTargetToQuit(RunningApplications& running,
                                                 const std::string& identifier,
                                                 std::vector<pid_t> instances, Button* paused,
                                                 const ShownInfo& before) {
    Clock& clock = _ports.clock ? *_ports.clock : steadyClock();
    const QuitWaitBounds bounds;
    std::string shownCountdown;
    const auto showCountdown = [&](std::chrono::milliseconds left) {
        const std::string text = countdownText(left);
        if (_outlets.infoField && text != shownCountdown) {
            _outlets.infoField->setString(text);
            shownCountdown = text;
        }
    };
    const bool pausedWasEnabled = paused && paused->isEnabled();
    if (paused) {
        paused->setEnabled(false);
    }
    showCountdown(bounds.limit);
    _quitWaitRunning = true;
    _quitWaitStopRequested = false;
    QuitWaitOutcome outcome = QuitWaitOutcome::Quit;
    {
        // The one step whose wait the user may cut short: the cancel control stays live.
        const BusySpan busy(&_windowParts.application, BusySpan::Cancel::Allowed);
        outcome = quitAndWait(
            running, identifier, std::move(instances), clock,
            [&](std::chrono::milliseconds left) {
                // Input is taken here, so a stop asked for during the last pause is seen at once.
                _windowParts.application.keepResponsive();
                showCountdown(left);
                return !_quitWaitStopRequested;
            },
            bounds);
    }
    _quitWaitRunning = false;
    if (outcome != QuitWaitOutcome::Quit) {
        showInfo(before);
        if (paused) {
            paused->setEnabled(pausedWasEnabled);
        }
    }
    return outcome;
}

std::optional<ResetLock> AppDelegate::takeResetLock(const std::string& library) {
    Result<ResetLock> lock = ResetLock::take(
        ResetRecords::folderIn(library), _ports.clock ? *_ports.clock : steadyClock(),
        ResetTransaction::kLockWait, [this] { keepWindowResponsive(); });
    if (!lock) {
        tellRefusal(lock.error().reason);
        return std::nullopt;
    }
    return std::move(*lock);
}

void AppDelegate::keepWindowResponsive() {
    // The window stays responsive, in its busy state, while another run finishes.
    _windowParts.application.keepResponsive();
}

std::optional<std::string> AppDelegate::foreignHome() const {
    const auto located = locateUserFolders(_ports.fileSystem);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    return folders ? foreignHomeRefusal(folders->home, "Corvane", "corvane") : std::nullopt;
}

void AppDelegate::tellRefusal(const std::string& text) {
    _lastEnding = ResetEnding::Declined;
    _ports.systemLog.log(text);
    Alert alert;
    alert.messageText = "Corvane";
    alert.informativeText = text;
    alert.buttons = {{"OK", std::nullopt}};
    alert.style = AlertStyle::Warning;
    _windowParts.alerts.runModal(alert);
}

bool AppDelegate::agreesToRemoveForGood(const Untrashable& untrashable) {
    return _windowParts.alerts.runModal(removeForGoodQuestion(untrashable)) ==
           kAlertSecondButtonReturn;
}

bool AppDelegate::targetHasQuit(RunningApplications* running, const std::string& identifier,
                                const std::string& name, const QuitStep& step) {
    if (!running) {
        return true;
    }
    Result<std::vector<pid_t>> looked = running->withBundleIdentifier(identifier);
    if (!looked) {
        tellRefusal("Corvane could not tell whether " + name + " is running, so nothing was " +
                    step.undone + ".");
        return false;
    }
    std::vector<pid_t> instances = std::move(*looked);
    // An application that still runs would write its files back over what the step does, so a
    // target that does not quit leaves everything in place.
    if (instances.empty()) {
        return true;
    }
    const QuitWaitOutcome outcome =
        waitForTargetToQuit(*running, identifier, std::move(instances), step.paused, step.before);
    if (outcome == QuitWaitOutcome::StillRunning) {
        _windowParts.alerts.runModal(didNotQuitAlert(name, step.undone, step.button));
    }
    if (outcome != QuitWaitOutcome::Quit) {
        _lastEnding = ResetEnding::Declined;
        return false;
    }
    if (step.showBeforeAgain) {
        showInfo(step.before);
    }
    return true;
}

ResetPlan AppDelegate::takeResetPlan() {
    ResetPlan plan;
    plan.identifier = processWide().targetBundleIdentifier;
    plan.applicationName = processWide().targetApplicationName.value_or("");
    plan.applicationPath = _path.value_or("");
    plan.systemTarget = _isSystemApp || (_path && isSystemTargetPath(*_path));
    plan.hardSafari = _safariAggressive && _kinds.chosen(EntryKind::HardReset);
    plan.clearsDomain = _targetFamily == TargetFamily::Bundle && _kinds.clearsDomain();
    plan.kinds = _plan ? _plan->takenKinds(_kinds) : _kinds.ids();
    plan.listed = std::move(_fullFilePaths);
    plan.listed.insert(plan.listed.end(), std::make_move_iterator(_fullStatePaths.begin()),
                       std::make_move_iterator(_fullStatePaths.end()));
    _fullFilePaths.clear();
    _fullStatePaths.clear();
    if (_plan) {
        // The settings database's folders are listed beside the files but are no files.
        plan.settings = _plan->settingsFolders(_kinds);
        std::erase_if(plan.listed, [&plan](const std::string& path) {
            return std::any_of(
                plan.settings.begin(), plan.settings.end(),
                [&path](const SettingsFolder& folder) { return folder.path == path; });
        });
    }
    if (plan.hardSafari) {
        plan.cookieStoreFile = _ports.cookieStore.storeFile();
    }
    return plan;
}

void AppDelegate::fixButtonMethod() {
    // Clicks made while the fix runs must not act once it has ended.
    const BusySpan busy(&_windowParts.application);
    _lastEnding = ResetEnding::Done;
    TextView* info = _outlets.infoField;
    const auto show = [&](const char* text) {
        if (info) {
            info->setString(text);
        }
        keepWindowResponsive();
    };
    ResetPlan wholePlan = takeResetPlan();
    // Until the moves are made, Fix can be offered again: the lists are made again for it.
    bool listsSpent = false;
    const struct Relist {
        AppDelegate& delegate;
        const bool& spent;
        ~Relist() {
            if (!spent) {
                delegate.takeChosenEntries();
            }
        }
    } relist{*this, listsSpent};
    // What the steps below need of the plan; the lists go to the transaction, not copied.
    const struct {
        bool systemTarget;
        std::optional<std::string> identifier;
        std::string applicationName;
    } plan{wholePlan.systemTarget, wholePlan.identifier, wholePlan.applicationName};
    // The report, to put back when the fix does not go ahead.
    const ShownInfo report = shownInfo();

    if (const std::optional<std::string> refusal = foreignHome()) {
        tellRefusal(*refusal);
        return;
    }
    // Held through the quit wait, the questions and the moves: one reset or restore at a time.
    Result<ResetTransaction> transaction =
        ResetTransaction::begin(std::move(wholePlan), _ports, [this] { keepWindowResponsive(); });
    if (!transaction) {
        tellRefusal(transaction.error().reason);
        return;
    }
    if (info) {
        info->setTextColor(Color::infoBlue());
    }
    if (plan.systemTarget) {
        _isSystemApp = true;
        show(kSystemTargetText);
    } else {
        show(kFixingText);
        TargetInstances instances(_ports, plan.identifier.value_or(""),
                                  _targetFamily == TargetFamily::LinuxApplication
                                      ? std::optional(_linuxPackage)
                                      : std::nullopt,
                                  _path.value_or(""));
        if (plan.identifier &&
            !targetHasQuit(instances.running(), *plan.identifier, plan.applicationName,
                           {"removed", "Fix", _outlets.fixButton, report, false})) {
            return;
        }
        show(kNotRunningText);
    }

    const Untrashable untrashable = transaction->untrashable();
    const bool removeForGood = !untrashable.paths.empty();
    if (removeForGood && !agreesToRemoveForGood(untrashable)) {
        _lastEnding = ResetEnding::Declined;
        showInfo(report);
        return;
    }
    ResetOutcome outcome;
    {
        ResponsiveWork work(&_windowParts.application, _outlets.progressIndicator,
                            "Moving to the Trash", transaction->entryCount());
        outcome = transaction->apply(removeForGood, [&work] { work.tick(); });
    }
    if (outcome.ending == ResetEnding::Declined) {
        showInfo(report);
        tellRefusal(outcome.refusal);
        return;
    }
    _lastEnding = outcome.ending;
    listsSpent = true;
    if (outcome.ending == ResetEnding::NothingToDo) {
        // Another reset or restore took what was listed while this one waited for it.
        stopProgress();
        tellRefusal("Nothing was removed: what was listed for " + plan.applicationName +
                    " is no longer there.");
        _lastEnding = ResetEnding::NothingToDo;
        return;
    }
    Alert sheet;
    sheet.buttons = {{"OK", std::nullopt}};
    sheet.informativeText = resetAccountText(plan.applicationName, outcome);
    sheet.style = outcome.leftovers.empty() ? AlertStyle::Informational : AlertStyle::Warning;
    _windowParts.alerts.beginSheet(sheet, _outlets.window, [](int) {});
    stopProgress();
    // The signal asked the program to end; it does, now that the journal is complete.
    if (outcome.ending == ResetEnding::Interrupted) {
        _windowParts.application.terminateLater();
    }
}

} // namespace corvane
