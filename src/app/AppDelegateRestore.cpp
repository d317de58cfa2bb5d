#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "core/UserFolders.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/fix/Interruption.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/Restore.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Trash.h"

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
    _restoreStateDue = false;
    if (!_outlets.restoreButton) {
        return;
    }
    bool enabled = false;
    if (_services.trash && _services.fileSystem) {
        if (const std::optional<ResetRecords> records = recordsOf(*_services.fileSystem)) {
            // A damaged record is offered too: pressing Restore names it.
            const LatestRecord latest = records->latest();
            enabled = std::holds_alternative<DamagedRecord>(latest) ||
                      restorableRecord(latest, *_services.fileSystem);
        }
    }
    _outlets.restoreButton->setEnabled(enabled);
}

void AppDelegate::restoreButtonMethod() {
    restoreLatest(std::nullopt);
}

std::optional<RestoreResult>
AppDelegate::restoreLatest(const std::optional<std::string>& identifier) {
    _lastEnding = ResetEnding::NothingToDo;
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
    const LatestRecord latest = records.latest(identifier);
    if (const auto* damaged = std::get_if<DamagedRecord>(&latest)) {
        tellRefusal("The latest reset record is damaged: " + damaged->id + ".");
        return std::nullopt;
    }
    std::optional<ResetRecord> record = restorableRecord(latest, fs);
    if (!record) {
        updateRestoreButton();
        return std::nullopt;
    }
    if (_services.alerts->runModal(restoreQuestion(*record)) != kAlertFirstButtonReturn) {
        _lastEnding = ResetEnding::Declined;
        return std::nullopt;
    }

    // Clicks made while entries go back must not act once it has ended.
    const BusySpan busy(_services.application);
    const std::optional<ResetLock> lock = takeResetLock(folders->library);
    if (!lock) {
        return std::nullopt;
    }
    // Another run may have put it back, or reset again, while this one waited for the lock.
    const LatestRecord now = records.latest(identifier);
    const ResetRecord* current = std::get_if<ResetRecord>(&now);
    if (!current || current->id != record->id || !hasSomethingToPutBack(*current, fs)) {
        _lastEnding = ResetEnding::NothingToDo;
        updateRestoreButton();
        return std::nullopt;
    }
    record = *current;
    // As before a reset: an application that still runs would write over what comes back.
    if (!record->systemTarget && isAcceptableBundleIdentifier(record->identifier) &&
        !targetHasQuit(record->identifier, record->applicationName,
                       {"put back", "Restore", _outlets.restoreButton, shownInfo(), true})) {
        return std::nullopt;
    }
    return finishRestore(records, *record, *library);
}

RestoreResult AppDelegate::finishRestore(ResetRecords& records, const ResetRecord& record,
                                         const std::string& library) {
    RestoreResult result = restoreAndKeepRecord(
        records, record, *_services.trash, *_services.fileSystem, library, _services.systemLog);
    _lastEnding = restoreEnding(result);
    Alert done;
    done.informativeText = restoreResultText(record, result);
    done.buttons = {{"OK", std::string("\r")}};
    done.style = result.whole() ? AlertStyle::Informational : AlertStyle::Warning;
    _services.alerts->runModal(done);
    updateRestoreButton();
    if (result.interrupted && _services.application) {
        _services.application->terminateLater();
    }
    return result;
}

} // namespace corvane
