#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "core/UserFolders.h"
#include "core/analysis/SettingsKind.h"
#include "core/fix/Interruption.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/Restore.h"
#include "core/linuxapps/ApplicationQuit.h"
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

Alert restoreQuestion(const RestorePlan& plan) {
    Alert alert;
    alert.messageText = restoreQuestionText(plan.record);
    alert.informativeText = restorePlanText(plan);
    alert.buttons = {{"Restore", std::string("\r")}, {"Cancel", std::nullopt}};
    alert.style = AlertStyle::Warning;
    return alert;
}

bool canComeBack(const KeptRecord& kept, Trash& trash) {
    const auto* record = std::get_if<ResetRecord>(&kept);
    return record && hasSomethingToPutBack(*record, trash);
}

PastReset pastReset(const KeptRecord& kept, Trash& trash, const std::string& home) {
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
    for (const SettingsDump& dump : record.settings) {
        lines.push_back(settingsFolderShown(dump.folder.path, dump.values.size()));
    }
    std::string details;
    for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) {
        details += lines[i] + "\n";
    }
    if (lines.size() > kShown) {
        details += andMore(lines.size() - kShown) + "\n";
    }
    const std::size_t inTrash = entriesInTrash(record, trash);
    return {resetTimeText(record.time),
            record.applicationName,
            std::to_string(record.entryCount()),
            std::to_string(inTrash),
            details,
            inTrash > 0 || !record.settings.empty()};
}

} // namespace

void AppDelegate::updateRestoreButton() {
    _restoreStateDue = false;
    if (!_outlets.restoreButton) {
        return;
    }
    bool enabled = false;
    if (_ports.trash && !foreignHome()) {
        if (const std::optional<ResetRecords> records = recordsOf(_ports.fileSystem)) {
            records->forEach(std::nullopt, [&](const KeptRecord& one) {
                enabled = canComeBack(one, *_ports.trash);
                return !enabled;
            });
        }
    }
    _outlets.restoreButton->setEnabled(enabled);
}

std::optional<AppDelegate::RestorePlace> AppDelegate::restorePlace() {
    const FileSystem& fs = _ports.fileSystem;
    const auto located = locateUserFolders(fs);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    if (const std::optional<std::string> refusal = foreignHome()) {
        tellRefusal(*refusal);
        updateRestoreButton();
        return std::nullopt;
    }
    Confinement confinement = folders ? Confinement::ofHome(fs, *folders) : Confinement();
    if (confinement.empty()) {
        updateRestoreButton();
        return std::nullopt;
    }
    return RestorePlace{folders->home, folders->library, std::move(confinement)};
}

void AppDelegate::restoreButtonMethod() {
    _lastEnding = ResetEnding::NothingToDo;
    if (!_ports.trash) {
        return;
    }
    const std::optional<RestorePlace> place = restorePlace();
    if (!place) {
        return;
    }
    // Without a chooser Restore always asks about the newest reset: the records need not be
    // counted, which would read each of them once more.
    if (!_windowParts.resetChooser) {
        restoreLatest(std::nullopt);
        return;
    }
    Trash& trash = *_ports.trash;
    ResetRecords records(ResetRecords::folderIn(place->library));
    // Counted a record at a time: one reset may hold many thousands of entries.
    std::size_t restorable = 0;
    records.forEach(std::nullopt, [&](const KeptRecord& one) {
        restorable += canComeBack(one, trash) ? 1 : 0;
        return restorable < 2;
    });
    // With a single reset to put back, Restore asks about it directly.
    if (restorable < 2) {
        restoreLatest(std::nullopt);
        return;
    }
    const std::optional<ResetRecord> chosen = chooseReset(records.all(), place->home);
    if (!chosen) {
        _lastEnding = ResetEnding::Declined;
        return;
    }
    askAndRestore(records, chosen->id, *place);
}

std::optional<ResetRecord> AppDelegate::chooseReset(const std::vector<KeptRecord>& kept,
                                                    const std::string& home) {
    std::vector<PastReset> rows;
    rows.reserve(kept.size());
    for (const KeptRecord& one : kept) {
        rows.push_back(pastReset(one, *_ports.trash, home));
    }
    const auto newest =
        std::find_if(rows.begin(), rows.end(), [](const PastReset& row) { return row.restorable; });
    const std::optional<std::size_t> chosen = _windowParts.resetChooser->chooseReset(
        rows, static_cast<std::size_t>(newest - rows.begin()));
    if (!chosen || *chosen >= rows.size() || !rows[*chosen].restorable) {
        return std::nullopt;
    }
    return std::get<ResetRecord>(kept[*chosen]);
}

std::optional<RestoreResult>
AppDelegate::restoreLatest(const std::optional<std::string>& identifier) {
    _lastEnding = ResetEnding::NothingToDo;
    if (!_ports.trash) {
        return std::nullopt;
    }
    const std::optional<RestorePlace> place = restorePlace();
    if (!place) {
        return std::nullopt;
    }
    ResetRecords records(ResetRecords::folderIn(place->library));
    // A damaged record never stands in the way of the reset that can come back.
    RestoreChoice choice = newestRestorable(records, identifier, *_ports.trash);
    for (const DamagedRecord& damaged : choice.skipped) {
        _ports.systemLog.log("Passed over the damaged reset record " + damaged.id);
    }
    if (!choice.record) {
        updateRestoreButton();
        return std::nullopt;
    }
    // Read again under the lock; this copy, which may be large, is not needed meanwhile.
    const std::string id = choice.record->id;
    choice.record.reset();
    return askAndRestore(records, id, *place);
}

std::optional<RestoreResult> AppDelegate::askAndRestore(ResetRecords& records,
                                                        const std::string& id,
                                                        const RestorePlace& place) {
    std::optional<ResetLock> lock;
    {
        // Clicks made while it waits must not act once it has ended.
        const BusySpan busy(&_windowParts.application);
        lock = takeResetLock(place.library);
    }
    if (!lock) {
        return std::nullopt;
    }
    Trash& trash = *_ports.trash;
    // Planned under the lock: another run may have put it back, or written at its places,
    // while this one waited. The record is the one the tidying just read under it.
    std::optional<ResetRecord> now = tidyRecords(records, trash, id);
    ResetRecord* current = now ? &*now : nullptr;
    if (!current || !hasSomethingToPutBack(*current, trash)) {
        _lastEnding = ResetEnding::NothingToDo;
        updateRestoreButton();
        return std::nullopt;
    }
    const RestorePlan plan = planRestore(std::move(*current), trash, _ports.fileSystem,
                                         place.confinement, _ports.settingsDatabase);
    current = nullptr;
    const ResetRecord& chosen = plan.record;
    if (_windowParts.alerts.runModal(restoreQuestion(plan)) != kAlertFirstButtonReturn) {
        _lastEnding = ResetEnding::Declined;
        return std::nullopt;
    }
    const BusySpan busy(&_windowParts.application);
    // As before a reset: an application that still runs would write over what comes back.
    const std::optional<LinuxPackage> package = linuxPackageOfKinds(chosen.kinds);
    TargetInstances instances(_ports, chosen.identifier, package, chosen.applicationPath);
    if (!chosen.systemTarget &&
        !targetHasQuit(instances.running(), chosen.identifier, chosen.applicationName,
                       {"put back", "Restore", _outlets.restoreButton, shownInfo(), true})) {
        return std::nullopt;
    }
    return finishRestore(records, plan, place);
}

RestoreResult AppDelegate::finishRestore(ResetRecords& records, const RestorePlan& plan,
                                         const RestorePlace& place) {
    RestoreResult result = restoreAndKeepRecord(records, plan, *_ports.trash, _ports.fileSystem,
                                                UserFolders{place.home, place.library},
                                                &_ports.systemLog, _ports.settingsDatabase);
    _lastEnding = restoreEnding(result);
    Alert done;
    done.informativeText = restoreResultText(plan.record, result);
    done.buttons = {{"OK", std::string("\r")}};
    done.style = result.whole() ? AlertStyle::Informational : AlertStyle::Warning;
    _windowParts.alerts.runModal(done);
    updateRestoreButton();
    if (result.interrupted) {
        _windowParts.application.terminateLater();
    }
    return result;
}

} // namespace corvane
