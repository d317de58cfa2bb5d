#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "base/Paths.h"
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

#include <algorithm>
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

bool canComeBack(const KeptRecord& kept, const FileSystem& fs) {
    const auto* record = std::get_if<ResetRecord>(&kept);
    return record && hasSomethingToPutBack(*record, fs);
}

PastReset pastReset(const KeptRecord& kept, const FileSystem& fs, const std::string& home) {
    if (const auto* damaged = std::get_if<DamagedRecord>(&kept)) {
        return {damaged->id, "damaged record", {}, {}, {}, false};
    }
    const ResetRecord& record = std::get<ResetRecord>(kept);
    // A tooltip shows a reset's first entries; one of thousands would fill the screen.
    constexpr std::size_t kShown = 20;
    std::vector<std::string> lines;
    for (const TrashedEntry& entry : record.moved) {
        lines.push_back(pathRelativeTo(entry.original, home));
    }
    for (const std::string& path : record.removed) {
        lines.push_back(pathRelativeTo(path, home) + " (removed for good)");
    }
    std::string details;
    for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) {
        details += lines[i] + "\n";
    }
    if (lines.size() > kShown) {
        details += "...and " + std::to_string(lines.size() - kShown) + " more\n";
    }
    const std::size_t inTrash = entriesInTrash(record, fs);
    return {resetTimeText(record.time),
            record.applicationName,
            std::to_string(record.moved.size() + record.removed.size()),
            std::to_string(inTrash),
            details,
            inTrash > 0};
}

} // namespace

void AppDelegate::updateRestoreButton() {
    _restoreStateDue = false;
    if (!_outlets.restoreButton) {
        return;
    }
    bool enabled = false;
    if (_services.trash && _services.fileSystem && !foreignHome()) {
        if (const std::optional<ResetRecords> records = recordsOf(*_services.fileSystem)) {
            const std::vector<KeptRecord> kept = records->all();
            enabled = (!kept.empty() && std::holds_alternative<DamagedRecord>(kept.front())) ||
                      std::any_of(kept.begin(), kept.end(), [this](const KeptRecord& one) {
                          return canComeBack(one, *_services.fileSystem);
                      });
        }
    }
    _outlets.restoreButton->setEnabled(enabled);
}

std::optional<AppDelegate::RestorePlace> AppDelegate::restorePlace() {
    const FileSystem& fs = *_services.fileSystem;
    const auto located = locateUserFolders(fs);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    if (const std::optional<std::string> refusal = foreignHome()) {
        tellRefusal(*refusal);
        updateRestoreButton();
        return std::nullopt;
    }
    const std::optional<std::string> library =
        folders ? usableLibraryFolder(fs, folders->library, folders->home) : std::nullopt;
    if (!library) {
        updateRestoreButton();
        return std::nullopt;
    }
    return RestorePlace{folders->home, folders->library, *library};
}

void AppDelegate::restoreButtonMethod() {
    _lastEnding = ResetEnding::NothingToDo;
    if (!_services.trash || !_services.fileSystem || !_services.alerts) {
        return;
    }
    const std::optional<RestorePlace> place = restorePlace();
    if (!place) {
        return;
    }
    const FileSystem& fs = *_services.fileSystem;
    ResetRecords records(ResetRecords::folderIn(place->library));
    const std::vector<KeptRecord> kept = records.all();
    const auto restorable = static_cast<std::size_t>(std::count_if(
        kept.begin(), kept.end(), [&fs](const KeptRecord& one) { return canComeBack(one, fs); }));
    // With a single reset to put back, Restore asks about it directly; a damaged newest record is
    // then named rather than passed over for an older one.
    if (restorable < 2 || !_services.resetChooser) {
        const auto newestRestorable =
            std::find_if(kept.begin(), kept.end(),
                         [&fs](const KeptRecord& one) { return canComeBack(one, fs); });
        if (kept.empty() || std::holds_alternative<DamagedRecord>(kept.front()) ||
            newestRestorable == kept.end()) {
            restoreLatest(std::nullopt);
            return;
        }
        askAndRestore(records, std::get<ResetRecord>(*newestRestorable), *place);
        return;
    }
    const std::optional<ResetRecord> chosen = chooseReset(kept, place->home);
    if (!chosen) {
        _lastEnding = ResetEnding::Declined;
        return;
    }
    askAndRestore(records, *chosen, *place);
}

std::optional<ResetRecord> AppDelegate::chooseReset(const std::vector<KeptRecord>& kept,
                                                    const std::string& home) {
    const FileSystem& fs = *_services.fileSystem;
    std::vector<PastReset> rows;
    rows.reserve(kept.size());
    for (const KeptRecord& one : kept) {
        rows.push_back(pastReset(one, fs, home));
    }
    const auto newest =
        std::find_if(rows.begin(), rows.end(), [](const PastReset& row) { return row.restorable; });
    const std::optional<std::size_t> chosen =
        _services.resetChooser->chooseReset(rows, static_cast<std::size_t>(newest - rows.begin()));
    if (!chosen || *chosen >= rows.size() || !rows[*chosen].restorable) {
        return std::nullopt;
    }
    return std::get<ResetRecord>(kept[*chosen]);
}

std::optional<RestoreResult>
AppDelegate::restoreLatest(const std::optional<std::string>& identifier) {
    _lastEnding = ResetEnding::NothingToDo;
    if (!_services.trash || !_services.fileSystem || !_services.alerts) {
        return std::nullopt;
    }
    const std::optional<RestorePlace> place = restorePlace();
    if (!place) {
        return std::nullopt;
    }
    ResetRecords records(ResetRecords::folderIn(place->library));
    const LatestRecord latest = records.latest(identifier);
    if (const auto* damaged = std::get_if<DamagedRecord>(&latest)) {
        tellRefusal("The latest reset record is damaged: " + damaged->id + ".");
        return std::nullopt;
    }
    const std::optional<ResetRecord> record = restorableRecord(latest, *_services.fileSystem);
    if (!record) {
        updateRestoreButton();
        return std::nullopt;
    }
    return askAndRestore(records, *record, *place);
}

std::optional<RestoreResult> AppDelegate::askAndRestore(ResetRecords& records,
                                                        const ResetRecord& record,
                                                        const RestorePlace& place) {
    if (_services.alerts->runModal(restoreQuestion(record)) != kAlertFirstButtonReturn) {
        _lastEnding = ResetEnding::Declined;
        return std::nullopt;
    }

    // Clicks made while entries go back must not act once it has ended.
    const BusySpan busy(_services.application);
    const std::optional<ResetLock> lock = takeResetLock(place.library);
    if (!lock) {
        return std::nullopt;
    }
    // Another run may have put it back while this one waited for the lock.
    const LatestRecord now = records.named(record.id);
    const ResetRecord* current = std::get_if<ResetRecord>(&now);
    if (!current || !hasSomethingToPutBack(*current, *_services.fileSystem)) {
        _lastEnding = ResetEnding::NothingToDo;
        updateRestoreButton();
        return std::nullopt;
    }
    // As before a reset: an application that still runs would write over what comes back.
    if (!current->systemTarget && isAcceptableBundleIdentifier(current->identifier) &&
        !targetHasQuit(current->identifier, current->applicationName,
                       {"put back", "Restore", _outlets.restoreButton, shownInfo(), true})) {
        return std::nullopt;
    }
    return finishRestore(records, *current, place.resolvedLibrary);
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
