#include "base/Text.h"
#include "cli/ActionSupport.h"
#include "cli/CommandLineActions.h"
#include "cli/Output.h"
#include "core/analysis/SettingsKind.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/ResetTransaction.h"
#include "core/fix/Restore.h"
#include "core/linuxapps/ApplicationQuit.h"
#include "ports/FileSystem.h"

#include <ctime>
#include <nlohmann/json.hpp>
#include <ostream>

namespace corvane::cli {

namespace {

nlohmann::json jsonTrashed(const std::vector<TrashedEntry>& entries) {
    nlohmann::json list = nlohmann::json::array();
    for (const TrashedEntry& entry : entries) {
        nlohmann::json item = jsonPath(entry.original);
        const nlohmann::json trashed = jsonPath(entry.trashed);
        item["trashed"] = trashed["path"];
        if (trashed.contains("path_hex")) {
            item["trashed_hex"] = trashed["path_hex"];
        }
        list.push_back(std::move(item));
    }
    return list;
}

// Which record --restore means: the latest, the latest of an identifier, or one by its name.
struct Choice {
    std::optional<std::string> identifier;
    std::optional<std::string> record;
};

std::string nothingToPutBack(const Choice& choice) {
    if (choice.record) {
        return "there is no reset record " + *choice.record + " with anything to put back";
    }
    return "there is no reset" + (choice.identifier ? " of " + *choice.identifier : std::string()) +
           " to put back";
}

// The kinds a reset took, "preferences,saved_state"; "-" for a record that does not say.
std::string kindsText(const std::vector<std::string>& kinds) {
    std::string text;
    for (const std::string& kind : kinds) {
        text += (text.empty() ? "" : ",") + kind;
    }
    return text.empty() ? "-" : text;
}

} // namespace

int restoreReset(const Ports& ports, const std::optional<std::string>& which,
                 const RestoreOptions& options, Console& console) {
    Choice choice;
    if (which && isRecordId(*which)) {
        choice.record = which;
    } else if (which) {
        // A bundle stands for its identifier; anything else must be one.
        const auto resolved = resolveTarget(ports, *which, false);
        if (const auto* target = std::get_if<Target>(&resolved)) {
            choice.identifier = target->identifier;
        } else if (namesABundle(*which)) {
            return refuse(console, std::get<Refusal>(resolved));
        } else {
            return refuse(console, {"\"" + *which +
                                        "\" is neither a record's name nor an application "
                                        "identifier",
                                    kBadInput, true});
        }
    }
    const auto located = userFolders(ports, true, options.commandLine);
    if (const auto* refusal = std::get_if<Refusal>(&located)) {
        return refuse(console, *refusal);
    }
    const UserFolders& folders = std::get<UserFolders>(located);
    const FileSystem& fs = ports.fileSystem;
    const Confinement confinement = Confinement::ofHome(fs, folders);
    nlohmann::json document = {
        {"format", 1}, {"action", "restore"}, {"home", jsonPath(folders.home)}};
    const auto finish = [&](ResetEnding ending) {
        if (options.json) {
            document["outcome"] = endingWord(ending);
            console.out << jsonLine(document);
        }
        return exitCodeFor(ending);
    };
    if (confinement.empty() || !ports.trash) {
        say(console, nothingToPutBack(choice));
        return finish(ResetEnding::NothingToDo);
    }
    Trash& trash = *ports.trash;
    ResetRecords records(ResetRecords::folderIn(folders.library));
    // Planned under the lock, so that what is shown is what another run leaves.
    Result<ResetLock> lock = ResetLock::take(ResetRecords::folderIn(folders.library), steadyClock(),
                                             ResetTransaction::kLockWait, waitingNotice(console));
    if (!lock) {
        say(console, lock.error().reason);
        return finish(ResetEnding::Declined);
    }
    tidyRecords(records, trash);
    std::optional<ResetRecord> record;
    if (choice.record) {
        LatestRecord found = records.named(*choice.record);
        if (const auto* damaged = std::get_if<DamagedRecord>(&found)) {
            document["record"] = damaged->id;
            say(console,
                "the reset record " + damaged->id + " is damaged, so it cannot be put back");
            return finish(ResetEnding::Declined);
        }
        if (auto* named = std::get_if<ResetRecord>(&found);
            named && hasSomethingToPutBack(*named, trash)) {
            record = std::move(*named);
        }
    } else {
        RestoreChoice newest = newestRestorable(records, choice.identifier, trash);
        for (const DamagedRecord& damaged : newest.skipped) {
            say(console, damaged.holdsNothing
                             ? "the reset record " + damaged.id +
                                   " holds nothing to put back; it can be deleted (" +
                                   records.folder() + "/" + damaged.id + ")"
                             : "passed over the damaged reset record " + damaged.id);
        }
        record = std::move(newest.record);
    }
    if (!record) {
        say(console, nothingToPutBack(choice));
        return finish(ResetEnding::NothingToDo);
    }
    document["record"] = record->id;
    document["identifier"] = record->identifier;
    document["application"] = record->applicationName;

    const RestorePlan plan =
        planRestore(std::move(*record), trash, fs, confinement, ports.settingsDatabase);
    record.reset();
    const ResetRecord* const chosen = &plan.record;
    const std::string when =
        chosen->replacedByRestoring.empty()
            ? ", reset on "
            : ", replaced by restoring " + chosen->replacedByRestoring + " on ";
    // Written as they come, not held as lines: there may be 100,000 of them.
    if (std::ostream* where = planStream(console, options.json)) {
        if (plan.comeBack.empty()) {
            *where << "The settings of " << chosen->applicationName << when
                   << resetTimeText(chosen->time) << ", come back.\n";
        } else {
            *where << "These entries of " << chosen->applicationName << when
                   << resetTimeText(chosen->time) << ", come back from the Trash:\n";
        }
        for (const std::size_t index : plan.comeBack) {
            *where << "  " << shellEscaped(plan.record.moved[index].original) << '\n';
        }
    }
    std::vector<std::string> lines;
    if (!chosen->settings.empty()) {
        lines.emplace_back(kSettingsBackHeading);
        for (const SettingsDump& dump : chosen->settings) {
            lines.push_back("  " + settingsFolderShown(dump.folder.path, dump.values.size()));
        }
    }
    if (!plan.settingsReplaced.empty()) {
        lines.emplace_back(kSettingsWrittenSinceHeading);
        for (const std::string& folder : plan.settingsReplaced) {
            lines.push_back("  " + folder);
        }
    }
    if (!plan.replaced.empty()) {
        lines.emplace_back(kWrittenSinceHeading);
        for (const std::string& path : plan.replaced) {
            lines.push_back("  " + shellEscaped(path));
        }
    }
    const std::optional<LinuxPackage> package = linuxPackageOfKinds(chosen->kinds);
    TargetInstances instances(ports, chosen->identifier, package, chosen->applicationPath);
    RunningApplications* running = instances.running();
    if (!chosen->systemTarget) {
        if (const std::string note =
                runningNote(running, chosen->identifier, chosen->applicationName);
            !note.empty()) {
            lines.push_back(note);
        }
    }
    showPlan(console, options.json, lines);
    if (!consents(console, options.confirmed,
                  "put back the reset of " + chosen->applicationName + " (" + chosen->id + ")")) {
        return finish(ResetEnding::Declined);
    }
    if (!chosen->systemTarget &&
        !targetHasQuit(running, console, chosen->identifier, chosen->applicationName, "put back")) {
        return finish(ResetEnding::Declined);
    }
    const RestoreResult result = restoreAndKeepRecord(records, plan, trash, fs, folders,
                                                      &ports.systemLog, ports.settingsDatabase);
    const std::string account = restoreResultText(plan.record, result);
    if (options.json) {
        document["restored"] = jsonPaths(result.restored);
        document["already_back"] = jsonPaths(result.alreadyBack);
        document["replaced"] = {{"record", result.replacement.empty()
                                               ? nlohmann::json()
                                               : nlohmann::json(result.replacement)},
                                {"paths", jsonPaths(result.replaced)}};
        document["kept_in_trash"] = jsonTrashed(result.keptInTrash);
        document["gone"] = jsonPaths(result.gone);
        document["not_ours"] = jsonTrashed(result.notOurs);
        document["removed_for_good"] = jsonPaths(result.removedForGood);
        document["refused"] = jsonTrashed(result.refused);
        document["failed"] = jsonTrashed(result.failed);
        document["not_tried"] = jsonTrashed(result.notTried);
        document["settings_restored"] = result.settingsRestored;
        document["settings_replaced"] = result.settingsReplaced;
        nlohmann::json left = nlohmann::json::array();
        for (const RestoreResult::SettingsLeft& one : result.settingsLeft) {
            left.push_back({{"folder", one.dump.folder.path}, {"reason", one.reason}});
        }
        document["settings_left"] = std::move(left);
        console.err << account;
    } else {
        console.out << account;
    }
    return finish(restoreEnding(result));
}

int listHistory(const Ports& ports, const std::optional<std::string>& identifier, bool json,
                bool legend, Console& console) {
    if (identifier) {
        const auto resolved = resolveTarget(ports, *identifier, false);
        if (namesABundle(*identifier) || std::holds_alternative<Refusal>(resolved)) {
            return refuse(console, {"\"" + *identifier + "\" is not an application identifier",
                                    kBadInput, true});
        }
    }
    const auto located = userFolders(ports, false, {});
    if (const auto* refusal = std::get_if<Refusal>(&located)) {
        return refuse(console, *refusal);
    }
    const FileSystem& fs = ports.fileSystem;
    (void)fs;
    const ResetRecords records(ResetRecords::folderIn(std::get<UserFolders>(located).library));
    const std::vector<KeptRecord> kept = records.all(identifier);

    nlohmann::json list = nlohmann::json::array();
    if (!json && legend && !kept.empty()) {
        console.out << "RECORD\tTIME\tAPPLICATION\tIDENTIFIER\tENTRIES\tIN TRASH\tKINDS\n";
    }
    for (const KeptRecord& one : kept) {
        if (const auto* damaged = std::get_if<DamagedRecord>(&one)) {
            if (json) {
                list.push_back({{"record", damaged->id}, {"damaged", true}});
            } else {
                console.out << damaged->id << "\tdamaged\t-\t-\t-\t-\t-\n";
            }
            continue;
        }
        const ResetRecord& record = std::get<ResetRecord>(one);
        const std::size_t entries = record.entryCount();
        const std::size_t inTrash = ports.trash ? entriesInTrash(record, *ports.trash) : 0;
        if (json) {
            list.push_back({{"record", record.id},
                            {"damaged", false},
                            {"time", timeText(record.time, "%Y-%m-%dT%H:%M:%SZ", true)},
                            {"application", record.applicationName},
                            {"identifier", record.identifier},
                            {"entries", entries},
                            {"in_trash", inTrash},
                            {"kinds", record.kinds.empty() ? nlohmann::json()
                                                           : nlohmann::json(record.kinds)}});
        } else {
            console.out << record.id << '\t' << timeText(record.time, "%Y-%m-%d %H:%M", false)
                        << '\t' << shellEscaped(record.applicationName) << '\t' << record.identifier
                        << '\t' << entries << '\t' << inTrash << '\t' << kindsText(record.kinds)
                        << '\n';
        }
    }
    if (json) {
        console.out << jsonLine({{"format", 1},
                                 {"action", "history"},
                                 {"home", jsonPath(std::get<UserFolders>(located).home)},
                                 {"records", list}});
    }
    if (kept.empty()) {
        say(console, "no reset" + (identifier ? " of " + *identifier : std::string()) + " is kept");
        return kNothingFound;
    }
    return kDone;
}

} // namespace corvane::cli
