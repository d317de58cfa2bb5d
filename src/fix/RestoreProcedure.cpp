#include "analysis/BundleIdentifierPolicy.h"
#include "app/AppDelegate.h"
#include "app/BusySpan.h"
#include "base/UserFolders.h"
#include "fix/LibraryRemover.h"
#include "fix/QuitWait.h"
#include "fix/ResetRecord.h"
#include "fix/Restore.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Trash.h"

#include <variant>

namespace corvane {

namespace {

std::optional<ResetRecords> recordsOf(const FileSystem& fs) {
    const auto located = locateUserFolders(fs);
    if (const UserFolders* folders = std::get_if<UserFolders>(&located)) {
        return ResetRecords(ResetRecords::folderIn(folders->library));
    }
    return std::nullopt;
}

Alert restoreQuestion(const ResetRecord& record) {
    Alert alert;
    alert.messageText = restoreQuestionText(record);
    alert.buttons = {{"Restore", std::string("\r")}, {"Cancel", std::nullopt}};
    alert.style = AlertStyle::Warning;
    return alert;
}

} // namespace

void AppDelegate::updateRestoreButton() {
    if (!_outlets.restoreButton) {
        return;
    }
    bool enabled = false;
    if (_services.trash && _services.fileSystem) {
        if (const std::optional<ResetRecords> records = recordsOf(*_services.fileSystem)) {
            const std::optional<ResetRecord> latest = records->latest();
            enabled = latest && hasSomethingToPutBack(*latest, *_services.fileSystem);
        }
    }
    _outlets.restoreButton->setEnabled(enabled);
}

void AppDelegate::restoreButtonMethod() {
    restoreLatest(std::nullopt);
}

std::optional<RestoreResult>
AppDelegate::restoreLatest(const std::optional<std::string>& identifier) {
    if (!_services.trash || !_services.fileSystem || !_services.alerts) {
        return std::nullopt;
    }
    const FileSystem& fs = *_services.fileSystem;
    const auto located = locateUserFolders(fs);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    const std::optional<std::string> library =
        folders ? usableLibraryFolder(fs, folders->library, folders->home) : std::nullopt;
    if (!library) {
        updateRestoreButton();
        return std::nullopt;
    }
    ResetRecords records(ResetRecords::folderIn(folders->library));
    std::optional<ResetRecord> record = records.latest(identifier);
    if (!record || !hasSomethingToPutBack(*record, fs)) {
        updateRestoreButton();
        return std::nullopt;
    }
    if (_services.alerts->runModal(restoreQuestion(*record)) != kAlertFirstButtonReturn) {
        return std::nullopt;
    }

    // Clicks made while entries go back must not act once it has ended.
    const BusySpan busy(_services.application);
    // As before a reset: an application that still runs would write over what comes back.
    RunningApplications* running = _services.runningApplications;
    if (!record->systemTarget && running && isAcceptableBundleIdentifier(record->identifier)) {
        std::vector<pid_t> instances = running->withBundleIdentifier(record->identifier);
        if (!instances.empty()) {
            const ShownInfo before = shownInfo();
            const QuitWaitOutcome outcome = waitForTargetToQuit(
                record->identifier, std::move(instances), _outlets.restoreButton, before);
            if (outcome == QuitWaitOutcome::StillRunning) {
                _services.alerts->runModal(
                    didNotQuitAlert(record->applicationName, "put back", "Restore"));
            }
            if (outcome != QuitWaitOutcome::Quit) {
                return std::nullopt;
            }
            showInfo(before);
        }
    }

    const RestoreResult result = restoreRecord(*record, *_services.trash, fs, *library);
    if (result.failed.empty()) {
        records.remove(record->id);
    } else {
        // Only what failed to move is worth another try.
        ResetRecord rest = *record;
        rest.moved = result.failed;
        rest.removed.clear();
        records.update(rest);
    }
    Alert done;
    done.informativeText = restoreResultText(*record, result);
    done.buttons = {{"OK", std::string("\r")}};
    done.style = result.restored.size() == record->moved.size() && record->removed.empty()
                     ? AlertStyle::Informational
                     : AlertStyle::Warning;
    _services.alerts->runModal(done);
    updateRestoreButton();
    return result;
}

} // namespace corvane
