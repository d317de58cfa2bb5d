#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "app/ResponsiveWork.h"
#include "base/Paths.h"
#include "base/Utf16.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"
#include "core/fix/Interruption.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/SystemTarget.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"

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
constexpr std::chrono::milliseconds kLockWait{10'000};
constexpr std::chrono::milliseconds kLockPoll{100};

std::string withName(const std::string& format, const std::string& name) {
    const std::size_t at = format.find("%@");
    if (at == std::string::npos) {
        return format;
    }
    return format.substr(0, at) + name + format.substr(at + 2);
}

Alert closingSheet(const std::string& name, const std::vector<std::string>& leftovers,
                   const std::vector<std::string>& reasons, const std::string& trashLine) {
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
    if (!reasons.empty()) {
        text += "\nThey stayed because:\n";
        for (const std::string& reason : reasons) {
            text += reason + "\n";
        }
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
    QuitWaitOutcome outcome = QuitWaitOutcome::Quit;
    {
        // The one step whose wait the user may cut short: the cancel control stays live.
        const BusySpan busy(_services.application, BusySpan::Cancel::Allowed);
        outcome = quitAndWait(
            running, identifier, std::move(instances), clock,
            [&](std::chrono::milliseconds left) {
                // Input is taken here, so a stop asked for during the last pause is seen at once.
                if (_services.application) {
                    _services.application->keepResponsive();
                }
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
    Clock& clock = _services.clock ? *_services.clock : steadyClock();
    const std::string folder = ResetRecords::folderIn(library);
    const auto deadline = clock.now() + kLockWait;
    for (;;) {
        Result<ResetLock, ResetLock::Refusal> lock = ResetLock::tryTake(folder);
        if (lock) {
            return std::move(*lock);
        }
        const bool busy = lock.error().failure == ResetLock::Failure::Busy;
        if (!busy || clock.now() >= deadline) {
            tellRefusal(busy ? lock.error().reason
                             : "Nothing was changed: Corvane could not keep a record of it (" +
                                   lock.error().reason + ").");
            return std::nullopt;
        }
        // The window stays responsive, in its busy state, while the other run finishes.
        if (_services.application) {
            _services.application->keepResponsive();
        }
        clock.sleepFor(kLockPoll);
    }
}

void AppDelegate::tellRefusal(const std::string& text) {
    _lastEnding = ResetEnding::Declined;
    if (_services.systemLog) {
        _services.systemLog->log(text);
    }
    if (_services.alerts) {
        Alert alert;
        alert.messageText = "Corvane";
        alert.informativeText = text;
        alert.buttons = {{"OK", std::nullopt}};
        alert.style = AlertStyle::Warning;
        alert.purpose = AlertPurpose::Refusal;
        _services.alerts->runModal(alert);
    }
}

bool AppDelegate::agreesToRemoveForGood(const Untrashable& untrashable) {
    if (!_services.alerts) {
        return false;
    }
    std::string reasons;
    for (const std::string& reason : untrashable.reasons) {
        reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    const std::size_t count = untrashable.paths.size();
    Alert question;
    question.messageText = std::to_string(count) +
                           (count == 1 ? " entry cannot" : " entries cannot") +
                           " be moved to the Trash (" + reasons + "). Remove them for good?";
    std::string named;
    for (std::size_t i = 0; i < count && i < kMaxNamedLeftovers; ++i) {
        named += untrashable.paths[i] + "\n";
    }
    if (count > kMaxNamedLeftovers) {
        named += "...and " + std::to_string(count - kMaxNamedLeftovers) + " more.\n";
    }
    question.informativeText = named;
    // Cancel is the default: Return, Escape and closing the alert all keep everything.
    question.buttons = {{"Cancel", std::string("\r")}, {"Remove for Good", std::string()}};
    question.style = AlertStyle::Critical;
    question.purpose = AlertPurpose::RemoveForGood;
    return _services.alerts->runModal(question) == kAlertSecondButtonReturn;
}

bool AppDelegate::targetHasQuit(const std::optional<std::string>& identifier,
                                const std::string& name, const ShownInfo& report) {
    RunningApplications* running = _services.runningApplications;
    if (!running || !identifier) {
        return true;
    }
    std::vector<pid_t> instances = running->withBundleIdentifier(*identifier);
    // Removing the files of an application that still runs lets it write them back, so a
    // target that does not quit leaves everything in place.
    if (instances.empty()) {
        return true;
    }
    const QuitWaitOutcome outcome =
        waitForTargetToQuit(*identifier, std::move(instances), _outlets.fixButton, report);
    if (outcome == QuitWaitOutcome::StillRunning && _services.alerts) {
        _services.alerts->runModal(didNotQuitAlert(name, "removed", "Fix"));
    }
    if (outcome != QuitWaitOutcome::Quit) {
        _lastEnding = ResetEnding::Declined;
        return false;
    }
    return true;
}

void AppDelegate::runDefaultsAfterRemoval(const std::optional<std::string>& identifier) {
    if (!identifier) {
        return;
    }
    const std::string defaults = systemToolPath(Tool::Defaults);
    const auto log = [&](const std::string& line) {
        if (_services.systemLog) {
            _services.systemLog->log(line);
        }
    };
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

void AppDelegate::restartSystemTarget(const std::optional<std::string>& identifier) {
    const std::string id = identifier.value_or("");
    if (containsIgnoringCase(id, kDockIdentifier)) {
        callNSTaskWithResult(systemToolPath(Tool::KillAll), {"Dock"});
    }
    if (containsIgnoringCase(id, kFinderIdentifier)) {
        callNSTaskWithResult(systemToolPath(Tool::KillAll), {"Finder"});
    }
    if (identifier) {
        const std::optional<std::string> deleted =
            callNSTaskWithResult(systemToolPath(Tool::Defaults), {"delete", *identifier});
        if (_services.systemLog) {
            _services.systemLog->log("defaults 2 exited with: " + deleted.value_or(""));
        }
    }
}

std::vector<std::string>
AppDelegate::hardResetEntries(const UserFolders* folders,
                              const std::optional<std::string>& identifier) {
    std::vector<std::string> hardReset;
    if (!_safariAggressive) {
        return hardReset;
    }
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
    return hardReset;
}

std::optional<std::string> AppDelegate::emptyCookieStore(LibraryRemover& remover,
                                                         const std::optional<std::string>& file) {
    CookieStore* store = _services.cookieStore;
    if (!store) {
        return std::nullopt;
    }
    // The store's file is emptied in place; a copy in the Trash keeps the cookies. Without that
    // copy the cookies are deleted only where the user agreed to lose them.
    const bool present = file && _services.fileSystem->entryExists(*file);
    const std::optional<std::size_t> copy = present ? remover.keepCopy(*file) : std::nullopt;
    if (present && !copy && !_services.fileSystem->entryExists(*file)) {
        return std::nullopt; // moved to the Trash whole; nothing is left to empty
    }
    if (present && !copy && remover.reasonLeft(*file)) {
        return store->location();
    }
    store->deleteCookies(store->cookies());
    if (copy.has_value()) {
        const std::size_t index = copy.value();
        if (const std::optional<EntryStamp> stamp =
                _services.fileSystem->stamp(remover.trashed()[index].original)) {
            remover.noteLeftInPlace(index, *stamp);
        }
    }
    // A store that could not be read or rewritten still holds its cookies.
    return store->isKnownEmpty() ? std::nullopt : std::optional(store->location());
}

void AppDelegate::removeEach(LibraryRemover& remover, const std::vector<std::string>& paths,
                             ResponsiveWork& work) {
    for (const std::string& path : paths) {
        if (InterruptionScope::requested()) {
            remover.stop("Corvane was interrupted before it came to this entry");
        }
        remover.remove(path);
        work.tick();
    }
}

std::string AppDelegate::closingTrashLine(const LibraryRemover& remover, bool recorded) const {
    const std::size_t trashed = remover.trashed().size();
    const std::size_t gone = remover.removedForGood().size();
    if (InterruptionScope::requested()) {
        return "Interrupted: " + std::to_string(trashed) +
               (trashed == 1 ? " entry is" : " entries are") +
               " in the Trash; Restore puts them back.";
    }
    if (trashed == 0 && gone == 0) {
        return {};
    }
    std::string line;
    if (gone > 0) {
        line = std::to_string(gone) + (gone == 1 ? " entry was" : " entries were") +
               " removed for good, as you agreed.";
        if (trashed == 0) {
            return line;
        }
        line += " ";
    }
    return line + (recorded ? kInTrashText : kInTrashUnrecordedText);
}

void AppDelegate::fixButtonMethod() {
    // Clicks made while the fix runs must not act once it has ended.
    const BusySpan busy(_services.application);
    _lastEnding = ResetEnding::Done;
    TextView* info = _outlets.infoField;
    const auto show = [&](const char* text) {
        if (info) {
            info->setString(text);
        }
        if (_services.application) {
            _services.application->keepResponsive();
        }
    };
    const std::optional<std::string> identifier = processWide().targetBundleIdentifier;
    const std::string name = processWide().targetApplicationName.value_or("");
    // The report, to put back when the fix does not go ahead.
    const ShownInfo report = shownInfo();
    const auto located = locateUserFolders(*_services.fileSystem);
    const UserFolders* folders = std::get_if<UserFolders>(&located);

    // Held through the quit wait, the questions and the moves: one reset or restore at a time.
    std::optional<ResetLock> lock;
    if (folders && _services.trash) {
        lock = takeResetLock(folders->library);
        if (!lock) {
            return;
        }
    }
    if (info) {
        info->setTextColor(Color::infoBlue());
    }
    if (_path && isSystemTargetPath(*_path)) {
        _isSystemApp = true;
        show(kSystemTargetText);
    }
    if (!_isSystemApp) {
        show(kFixingText);
        if (!targetHasQuit(identifier, name, report)) {
            return;
        }
        show(kNotRunningText);
    }

    LibraryRemover remover(
        *_services.fileSystem, folders ? std::optional(folders->library) : std::nullopt,
        folders ? std::optional(folders->home) : std::nullopt,
        [this](const std::string& tool, const std::vector<std::string>& arguments) {
            return callNSTaskWithResult(tool, arguments);
        },
        _services.systemLog, _services.trash);
    std::vector<std::string> listed = _fullFilePaths;
    listed.insert(listed.end(), _fullStatePaths.begin(), _fullStatePaths.end());
    const std::vector<std::string> hardReset = hardResetEntries(folders, identifier);
    const std::optional<std::string> cookieFile = _safariAggressive && _services.cookieStore
                                                      ? _services.cookieStore->storeFile()
                                                      : std::nullopt;
    std::vector<std::string> planned = listed;
    planned.insert(planned.end(), hardReset.begin(), hardReset.end());
    if (cookieFile) {
        planned.push_back(*cookieFile);
    }
    std::optional<std::unique_ptr<ResetJournal>> journal =
        planReset(remover, planned, identifier, name, report);
    if (!journal) {
        return;
    }
    remover.setJournal(journal->get());

    ResponsiveWork work(_services.application, _outlets.progressIndicator, "Removing settings");
    std::optional<std::string> cookieLeftover;
    {
        const InterruptionScope interruption;
        removeEach(remover, listed, work);
        runDefaultsAfterRemoval(identifier);
        removeEach(remover, hardReset, work);
        if (_safariAggressive && !remover.stopped() && !InterruptionScope::requested()) {
            cookieLeftover = emptyCookieStore(remover, cookieFile);
        }
        if (_isSystemApp) {
            restartSystemTarget(identifier);
        }
        finishFix(remover, std::move(*journal), name, cookieLeftover);
    }
}

std::optional<std::unique_ptr<ResetJournal>>
AppDelegate::planReset(LibraryRemover& remover, const std::vector<std::string>& planned,
                       const std::optional<std::string>& identifier, const std::string& name,
                       const ShownInfo& report) {
    ResetRecord record;
    record.planned = remover.targets(planned);
    const Untrashable untrashable = remover.findUntrashable(record.planned);
    if (!untrashable.paths.empty()) {
        if (!agreesToRemoveForGood(untrashable)) {
            _lastEnding = ResetEnding::Declined;
            showInfo(report);
            return std::nullopt;
        }
        remover.allowRemovalForGood();
    }
    const auto located = locateUserFolders(*_services.fileSystem);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    if (!folders || !_services.trash || record.planned.empty()) {
        return std::unique_ptr<ResetJournal>();
    }
    record.identifier = identifier.value_or("");
    record.applicationName = name;
    record.applicationPath = _path.value_or("");
    record.systemTarget = _isSystemApp;
    record.time = static_cast<std::int64_t>(std::time(nullptr));
    ResetRecords records(ResetRecords::folderIn(folders->library));
    Result<std::unique_ptr<ResetJournal>> begun = records.begin(record);
    if (!begun) {
        showInfo(report);
        tellRefusal("Nothing was removed: Corvane could not write the record Restore needs (" +
                    begun.error().reason + ").");
        return std::nullopt;
    }
    return std::move(*begun);
}

void AppDelegate::finishFix(LibraryRemover& remover, std::unique_ptr<ResetJournal> journal,
                            const std::string& name,
                            const std::optional<std::string>& cookieLeftover) {
    bool recorded = journal != nullptr;
    if (journal) {
        const std::string id = journal->id();
        recorded = journal->sync().ok();
        journal.reset();
        const auto located = locateUserFolders(*_services.fileSystem);
        if (remover.trashed().empty() && remover.removedForGood().empty()) {
            if (const UserFolders* folders = std::get_if<UserFolders>(&located)) {
                ResetRecords(ResetRecords::folderIn(folders->library)).remove(id);
            }
            recorded = false;
        }
    }
    std::vector<std::string> leftovers = remover.remaining();
    std::vector<std::string> reasons;
    for (const std::string& path : leftovers) {
        const std::optional<std::string> reason = remover.reasonLeft(path);
        if (reason && std::find(reasons.begin(), reasons.end(), *reason) == reasons.end()) {
            reasons.push_back(*reason);
        }
    }
    if (cookieLeftover) {
        leftovers.push_back(*cookieLeftover);
    }
    if (InterruptionScope::requested()) {
        _lastEnding = ResetEnding::Interrupted;
    } else if (!leftovers.empty()) {
        _lastEnding = ResetEnding::Partial;
    }
    const std::string trashLine = closingTrashLine(remover, recorded);
    if (InterruptionScope::requested() && _services.systemLog) {
        _services.systemLog->log(trashLine);
    }
    _fullStatePaths.clear();
    _fullFilePaths.clear();
    if (_services.alerts) {
        _services.alerts->beginSheet(closingSheet(name, leftovers, reasons, trashLine),
                                     _outlets.window, [](int) {});
    }
    stopProgress();
    // The signal asked the program to end; it does, now that the journal is complete.
    if (InterruptionScope::requested() && _services.application) {
        _services.application->terminateLater();
    }
}

} // namespace corvane
