#include "analysis/Discovery.h"
#include "app/AppDelegate.h"
#include "app/BusySpan.h"
#include "app/ProcessWideValues.h"
#include "app/ResponsiveWork.h"
#include "base/UserFolders.h"
#include "base/Utf16.h"
#include "fix/LibraryRemover.h"
#include "fix/QuitWait.h"
#include "fix/ResetRecord.h"
#include "fix/SystemTarget.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Services.h"

#include <algorithm>
#include <ctime>
#include <variant>

namespace corvane {

namespace {

constexpr const char* kSystemTargetText = "Please log out and log back in to complete the restore.";
constexpr const char* kFixingText = "Fixing...";
constexpr const char* kRunningText = "App is running. Trying to quit...";
constexpr const char* kNotRunningText = "App isn't running, starting to fix...";
constexpr const char* kDockIdentifier = "com.apple.dock";
constexpr const char* kFinderIdentifier = "com.apple.finder";
constexpr const char* kEmptyOutputPlaceholder = "success!";
constexpr const char* kSuccessText = "Default settings for %@ have been successfully restored.\n";
constexpr std::size_t kMaxNamedLeftovers = 10;
constexpr const char* kInTrashText =
    "The removed files are in the Trash; press Restore to put them back.";
constexpr const char* kInTrashUnrecordedText = "The removed files are in the Trash.";
constexpr const char* kGoneText = "Some files could not be moved to the Trash and are gone.";

std::string withName(const std::string& format, const std::string& name) {
    const std::size_t at = format.find("%@");
    if (at == std::string::npos) {
        return format;
    }
    return format.substr(0, at) + name + format.substr(at + 2);
}

Alert closingSheet(const std::string& name, const std::vector<std::string>& leftovers,
                   const std::string& trashLine) {
    Alert sheet;
    sheet.buttons = {{"OK", std::nullopt}};
    const std::string extra = trashLine.empty() ? std::string() : trashLine + "\n";
    if (leftovers.empty()) {
        sheet.informativeText = withName(kSuccessText, name) + extra;
        sheet.style = AlertStyle::Informational;
        return sheet;
    }
    std::string text =
        "Corvane could not remove everything for " + name + ". These items are still there:\n\n";
    for (std::size_t i = 0; i < leftovers.size() && i < kMaxNamedLeftovers; ++i) {
        text += leftovers[i] + "\n";
    }
    if (leftovers.size() > kMaxNamedLeftovers) {
        text += "...and " + std::to_string(leftovers.size() - kMaxNamedLeftovers) + " more.\n";
    }
    sheet.informativeText = text + extra;
    sheet.style = AlertStyle::Warning;
    return sheet;
}

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

QuitWaitOutcome AppDelegate::waitForTargetToQuit(const std::string& identifier,
                                                 std::vector<pid_t> instances, Button* paused,
                                                 const ShownInfo& before) {
    RunningApplications& running = *_services.runningApplications;
    Clock& clock = _services.clock ? *_services.clock : steadyClock();
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
    const QuitWaitOutcome outcome = quitAndWait(
        running, identifier, std::move(instances), clock, _services.application,
        [&](std::chrono::milliseconds left) {
            showCountdown(left);
            return !_quitWaitStopRequested;
        },
        bounds);
    _quitWaitRunning = false;
    if (outcome != QuitWaitOutcome::Quit) {
        showInfo(before);
        if (paused) {
            paused->setEnabled(pausedWasEnabled);
        }
    }
    return outcome;
}

void AppDelegate::fixButtonMethod() {
    // Clicks made while the fix runs must not act once it has ended.
    const BusySpan busy(_services.application);
    TextView* info = _outlets.infoField;
    const auto show = [&](const char* text) {
        if (info) {
            info->setString(text);
        }
        if (_services.application) {
            _services.application->keepResponsive();
        }
    };
    const auto log = [&](const std::string& line) {
        if (_services.systemLog) {
            _services.systemLog->log(line);
        }
    };
    const std::optional<std::string> identifier = processWide().targetBundleIdentifier;
    const std::string name = processWide().targetApplicationName.value_or("");
    // The report, to put back when the target will not quit.
    const ShownInfo report = shownInfo();

    if (info) {
        info->setTextColor(Color::infoBlue());
    }
    if (_path && isSystemTargetPath(*_path)) {
        _isSystemApp = true;
        show(kSystemTargetText);
    }

    if (!_isSystemApp) {
        show(kFixingText);
        RunningApplications* running = _services.runningApplications;
        if (running && identifier) {
            std::vector<pid_t> instances = running->withBundleIdentifier(*identifier);
            // Removing the files of an application that still runs lets it write them back,
            // so a target that does not quit leaves everything in place.
            if (!instances.empty()) {
                const QuitWaitOutcome outcome = waitForTargetToQuit(
                    *identifier, std::move(instances), _outlets.fixButton, report);
                if (outcome == QuitWaitOutcome::StillRunning && _services.alerts) {
                    _services.alerts->runModal(didNotQuitAlert(name, "removed", "Fix"));
                }
                if (outcome != QuitWaitOutcome::Quit) {
                    return;
                }
            }
        }
        show(kNotRunningText);
    }

    const auto located = locateUserFolders(*_services.fileSystem);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    LibraryRemover remover(
        *_services.fileSystem, folders ? std::optional(folders->library) : std::nullopt,
        folders ? std::optional(folders->home) : std::nullopt,
        [this](const std::string& tool, const std::vector<std::string>& arguments) {
            return callNSTaskWithResult(tool, arguments);
        },
        _services.systemLog, _services.trash);
    ResponsiveWork work(_services.application, _outlets.progressIndicator, "Removing settings");
    for (std::size_t i = 0; i < _fullFilePaths.size(); ++i) {
        remover.remove(_fullFilePaths[i]);
        work.tick();
    }
    for (std::size_t i = 0; i < _fullStatePaths.size(); ++i) {
        remover.remove(_fullStatePaths[i]);
        work.tick();
    }

    const std::string defaults = toolPath(Tool::Defaults);
    if (identifier) {
        callNSTaskWithResult(defaults, {"read", *identifier});
        const std::optional<std::string> deleted =
            callNSTaskWithResult(defaults, {"delete", *identifier});
        log("defaults 1 exited with: " +
            (deleted && !deleted->empty() ? *deleted : std::string(kEmptyOutputPlaceholder)));
        // Per-host preferences live in a domain of their own.
        const std::optional<std::string> deletedForHost =
            callNSTaskWithResult(defaults, {"-currentHost", "delete", *identifier});
        log("defaults -currentHost exited with: " + (deletedForHost && !deletedForHost->empty()
                                                         ? *deletedForHost
                                                         : std::string(kEmptyOutputPlaceholder)));
    }

    std::optional<std::string> cookieLeftover;
    if (_safariAggressive) {
        std::vector<std::string> hardReset;
        if (processWide().safariFolder) {
            hardReset.push_back(*processWide().safariFolder);
        }
        if (folders) {
            const std::string adware = appendPathComponent(folders->home, kAdwareFolder);
            if (_services.fileSystem->fileExists(adware)) {
                hardReset.push_back(adware);
            }
            const std::vector<std::string> owned =
                findHardResetEntries(*_services.fileSystem, *folders, identifier.value_or(""));
            hardReset.insert(hardReset.end(), owned.begin(), owned.end());
        }
        for (const std::string& entry : hardReset) {
            remover.remove(entry);
            work.tick();
        }
        if (CookieStore* store = _services.cookieStore) {
            // The store's file is emptied in place; a copy in the Trash keeps the cookies.
            const std::optional<std::string> file = store->storeFile();
            const std::optional<std::size_t> copy = file ? remover.keepCopy(*file) : std::nullopt;
            store->deleteCookies(store->cookies());
            if (copy) {
                TrashedEntry& entry = remover.trashed()[*copy];
                entry.leftInPlace = _services.fileSystem->stamp(entry.original);
            }
            // A store that could not be read or rewritten still holds its cookies.
            if (!store->isKnownEmpty()) {
                cookieLeftover = store->location();
            }
        }
    }

    if (_isSystemApp) {
        const std::string id = identifier.value_or("");
        if (containsIgnoringCase(id, kDockIdentifier)) {
            callNSTaskWithResult(toolPath(Tool::KillAll), {"Dock"});
        }
        if (containsIgnoringCase(id, kFinderIdentifier)) {
            callNSTaskWithResult(toolPath(Tool::KillAll), {"Finder"});
        }
        if (identifier) {
            const std::optional<std::string> deleted =
                callNSTaskWithResult(defaults, {"delete", *identifier});
            log("defaults 2 exited with: " + deleted.value_or(""));
        }
    }

    std::string trashLine;
    if (folders && (!remover.trashed().empty() || !remover.removedForGood().empty())) {
        ResetRecord record;
        record.identifier = identifier.value_or("");
        record.applicationName = name;
        record.applicationPath = _path.value_or("");
        record.systemTarget = _isSystemApp;
        record.time = static_cast<std::int64_t>(std::time(nullptr));
        record.moved = remover.trashed();
        record.removed = remover.removedForGood();
        ResetRecords records(ResetRecords::folderIn(folders->library));
        const bool recorded = records.add(record);
        if (!recorded) {
            log("Could not keep a record of the reset of " + name);
        }
        trashLine = !record.removed.empty() ? kGoneText
                    : recorded              ? kInTrashText
                                            : kInTrashUnrecordedText;
    }

    std::vector<std::string> leftovers = remover.remaining();
    if (cookieLeftover) {
        leftovers.push_back(*cookieLeftover);
    }
    _fullStatePaths.clear();
    _fullFilePaths.clear();
    if (_services.alerts) {
        _services.alerts->beginSheet(closingSheet(name, leftovers, trashLine), _outlets.window,
                                     [](int) {});
    }
    stopProgress();
}

} // namespace corvane
