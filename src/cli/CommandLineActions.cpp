#include "cli/CommandLineActions.h"

#include "base/Text.h"
#include "cli/ActionSupport.h"
#include "cli/Output.h"
#include "core/LoggedTool.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/Discovery.h"
#include "core/analysis/SettingsKind.h"
#include "core/analysis/TargetPlan.h"
#include "core/fix/HardResetReport.h"
#include "core/fix/ResetTransaction.h"
#include "core/fix/SystemTarget.h"
#include "core/linuxapps/ApplicationQuit.h"
#include "ports/Processes.h"
#include "ports/Services.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace corvane::cli {

namespace {

std::string reasonWord(SkippedFolder::Reason reason) {
    switch (reason) {
    case SkippedFolder::Reason::LeadsOutside:
        return "leads outside the Library";
    case SkippedFolder::Reason::Link:
        return "is a link";
    case SkippedFolder::Reason::LeadsOutsideHome:
        return "leads outside the home";
    case SkippedFolder::Reason::GenericName:
        return "is named by a generic id";
    case SkippedFolder::Reason::Unreachable:
        return "could not be reached";
    case SkippedFolder::Reason::Unreadable:
        break;
    }
    return "could not be read";
}

nlohmann::json targetJson(const char* action, const Target& target) {
    return {{"format", 1},
            {"action", action},
            {"identifier", target.identifier},
            {"application", target.bundle || target.family == TargetFamily::LinuxApplication
                                ? nlohmann::json(target.name)
                                : nlohmann::json()},
            {"bundle", target.bundle ? jsonPath(*target.bundle) : nlohmann::json()}};
}

// Safari takes --safari, and nothing else does.
std::optional<Refusal> safariMisuse(const Target& target, const std::optional<bool>& safariHard,
                                    bool required) {
    const bool safari = isSafariIdentifier(target.identifier);
    if (!safari && safariHard) {
        return Refusal{"--safari goes with Safari only, not " + target.identifier, kBadInput, true};
    }
    if (safari && !safariHard && required) {
        return Refusal{"Safari needs --safari=soft or --safari=hard", kBadInput, true};
    }
    return std::nullopt;
}

TargetPlan planFor(const Ports& ports, const UserFolders& folders, const Target& target,
                   bool hard) {
    return planTarget({target.identifier, hard, target.family, target.package}, ports, folders, {},
                      target.installedIds.empty() ? nullptr : &target.installedIds);
}

// The keys a folder of the settings database holds, for JSON.
std::size_t keysOf(const TargetPlan& plan, const std::string& folder) {
    for (const PlannedSettings& planned : plan.settings) {
        if (planned.folder.path == folder) {
            return planned.keys;
        }
    }
    return 0;
}

// Where a listing looked, for the line that says it found nothing.
std::string placesLookedIn(const FileSystem& fs, const UserFolders& folders, const Target& target) {
    const std::string& identifier = target.identifier;
    if (target.tooGeneric) {
        return "only the desktop's settings database: an application id without a dot names no "
               "folder of its own";
    }
    if (target.family == TargetFamily::LinuxApplication) {
        std::string sandbox = folders.home + "/.var/app/" + identifier;
        if (target.package == LinuxPackage::Flatpak) {
            return sandbox;
        }
        return (target.package == LinuxPackage::Any ? sandbox + ", " : std::string()) +
               baseFolder(fs, folders.home, BaseFolder::Config) + "/" + identifier + ", " +
               baseFolder(fs, folders.home, BaseFolder::State) + "/" + identifier + ", " +
               baseFolder(fs, folders.home, BaseFolder::Cache) + "/" + identifier +
               " and the desktop's settings database";
    }
    return folders.library + "/Preferences, " + folders.library + "/Saved Application State and " +
           folders.library + "/Containers/" + identifier;
}

// A Hard reset loses more than settings; the plan says so as the window's notice does, with
// how much of Safari's own folder goes.
std::string hardResetWarning(const HardResetPreview& preview, const UserFolders& folders) {
    const std::string safari = folders.library + "/Safari";
    std::string size;
    for (const HardResetPreview::Entry& entry : preview.entries) {
        if (entry.path == safari && entry.exists && entry.items) {
            size = " (" + plural(*entry.items, "item", "items") + ")";
        }
    }
    return "A Hard reset takes all of " + safari + size +
           ": Safari's preferences, bookmarks, history and extensions are lost.";
}

// What became of a reset, once: what was done on the output, what stayed on the diagnostics.
void reportReset(Console& console, const Target& target, const ResetOutcome& outcome, bool json) {
    const std::string restore = "corvane --restore " + target.identifier + " puts them back.";
    if (outcome.ending == ResetEnding::Interrupted) {
        const std::size_t all = outcome.trashed + outcome.removedForGood + outcome.leftovers.size();
        say(console, "Interrupted: " + std::to_string(outcome.trashed) + " of " +
                         plural(all, "entry", "entries") + (outcome.trashed == 1 ? " is" : " are") +
                         " in the Trash" + (outcome.recorded ? "; " + restore : "."));
        return;
    }
    if (outcome.ending == ResetEnding::Done) {
        if (!json) {
            console.out << resetAccountText(target.name, outcome,
                                            "\"corvane --restore " + target.identifier +
                                                "\" puts them back");
        }
        return;
    }
    std::string because;
    for (const std::string& reason : outcome.reasons) {
        because += (because.empty() ? " (" : "; ") + reason;
    }
    say(console, "could not remove everything for " + target.name + "; still there" +
                     (because.empty() ? "" : because + ")") + ":");
    for (const std::string& path : outcome.leftovers) {
        console.err << "  " << shellEscaped(path) << '\n';
    }
    console.err << std::flush;
    if (!json && outcome.trashed > 0) {
        console.out << plural(outcome.trashed, "entry is", "entries are") << " in the Trash"
                    << (outcome.recorded ? "; " + restore : ".") << '\n';
    }
}

} // namespace

int listEntries(const Ports& ports, const std::string& argument, const ListOptions& options,
                Console& console) {
    const auto resolved = resolveTarget(ports, argument, false);
    if (const auto* refusal = std::get_if<Refusal>(&resolved)) {
        return refuse(console, *refusal);
    }
    const Target& target = std::get<Target>(resolved);
    if (const auto unpicked = packageNotPicked(target)) {
        return refuse(console, *unpicked);
    }
    if (const auto misuse = safariMisuse(target, options.safariHard, false)) {
        return refuse(console, *misuse);
    }
    const auto located = userFolders(ports, false, {});
    if (const auto* refusal = std::get_if<Refusal>(&located)) {
        return refuse(console, *refusal);
    }
    const UserFolders& folders = std::get<UserFolders>(located);
    const TargetPlan plan = planFor(ports, folders, target, options.safariHard.value_or(false));
    const KindSelection& kinds = options.kinds;
    const bool nothing = !plan.hasAny(kinds) && !(plan.hard && kinds.chosen(EntryKind::HardReset));

    if (options.form == OutputForm::Json) {
        nlohmann::json entries = nlohmann::json::array();
        for (const PlannedEntry& entry : plan.entries) {
            if (kinds.chosen(entry.kind)) {
                nlohmann::json item = jsonPath(entry.path);
                item["kind"] = kindRow(entry.kind).id;
                if (entry.kind == EntryKind::GSettings) {
                    item["keys"] = keysOf(plan, entry.path);
                }
                entries.push_back(std::move(item));
            }
        }
        nlohmann::json skipped = nlohmann::json::array();
        for (const SkippedFolder& folder : plan.skipped) {
            skipped.push_back({{"folder", folder.name}, {"reason", reasonWord(folder.reason)}});
        }
        nlohmann::json document = targetJson("list", target);
        document["home"] = jsonPath(folders.home);
        document["safari"] = options.safariHard
                                 ? nlohmann::json(*options.safariHard ? "hard" : "soft")
                                 : nlohmann::json();
        nlohmann::json chosen = nlohmann::json::array();
        for (const std::string& id : kinds.ids()) {
            const EntryKind kind = *kindWithId(id);
            if (kindRow(kind).family == target.family && kindOfPackage(kind, target.package)) {
                chosen.push_back(id);
            }
        }
        document["kinds"] = std::move(chosen);
        document["entries"] = std::move(entries);
        document["skipped"] = std::move(skipped);
        document["notes"] = plan.notes;
        if (plan.hard && kinds.chosen(EntryKind::HardReset)) {
            document["cookies"] = {{"store", plan.hard->cookieStore},
                                   {"count", plan.hard->cookies
                                                 ? nlohmann::json(*plan.hard->cookies)
                                                 : nlohmann::json()}};
        }
        console.out << jsonLine(document);
    } else {
        const char end = options.form == OutputForm::NulTerminated ? '\0' : '\n';
        for (const PlannedEntry& entry : plan.entries) {
            if (kinds.chosen(entry.kind)) {
                console.out << (end == '\n' ? shellEscaped(entry.path) : entry.path) << end;
            }
        }
        for (const SkippedFolder& folder : plan.skipped) {
            say(console, skippedFolderLine(folder));
        }
        for (const std::string& note : console.quiet ? std::vector<std::string>{} : plan.notes) {
            say(console, note);
        }
        if (plan.hard && kinds.chosen(EntryKind::HardReset) && !console.quiet) {
            say(console,
                "a Hard reset also takes " + hardResetCookieLine(*plan.hard, folders.home));
        }
    }
    if (nothing) {
        say(console, "found nothing of " + target.identifier + "; looked in " +
                         placesLookedIn(ports.fileSystem, folders, target));
    }
    return nothing ? kNothingFound : kDone;
}

int resetApplication(const Ports& ports, const std::string& argument, const ResetOptions& options,
                     Console& console) {
    const auto resolved = resolveTarget(ports, argument, true);
    if (const auto* refusal = std::get_if<Refusal>(&resolved)) {
        return refuse(console, *refusal);
    }
    const Target& target = std::get<Target>(resolved);
    if (const auto unpicked = packageNotPicked(target)) {
        return refuse(console, *unpicked);
    }
    if (const auto misuse = safariMisuse(target, options.safariHard, true)) {
        return refuse(console, *misuse);
    }
    const auto located = userFolders(ports, true, options.commandLine);
    if (const auto* refusal = std::get_if<Refusal>(&located)) {
        return refuse(console, *refusal);
    }
    // Planned under the lock: a reset that waited for another run lists what that run left.
    Result<ResetTransaction> transaction =
        ResetTransaction::begin({}, ports, waitingNotice(console));
    if (!transaction) {
        say(console, transaction.error().reason);
        return exitCodeFor(ResetEnding::Declined);
    }
    const KindSelection& kinds = options.kinds;
    const bool hard = options.safariHard.value_or(false) && kinds.chosen(EntryKind::HardReset);
    const TargetPlan plan = planFor(ports, std::get<UserFolders>(located), target, hard);
    nlohmann::json document = targetJson("reset", target);
    document["home"] = jsonPath(std::get<UserFolders>(located).home);
    document["safari"] = options.safariHard ? nlohmann::json(*options.safariHard ? "hard" : "soft")
                                            : nlohmann::json();
    document["kinds"] = plan.takenKinds(kinds);
    const auto finish = [&](ResetEnding ending) {
        if (options.json) {
            document["outcome"] = endingWord(ending);
            console.out << jsonLine(document);
        }
        return exitCodeFor(ending);
    };
    std::vector<std::string> listed = plan.listed(kinds);
    if (options.json) {
        document["entries"] = jsonPaths(listed);
    }
    if (!plan.hasAny(kinds) && !plan.hard) {
        say(console, nothingFoundMessage(target.name));
        for (const SkippedFolder& folder : plan.skipped) {
            say(console, skippedFolderLine(folder));
        }
        return finish(ResetEnding::NothingToDo);
    }

    const std::vector<SettingsFolder> settings = plan.settingsFolders(kinds);
    if (options.json) {
        nlohmann::json folders = nlohmann::json::array();
        for (const SettingsFolder& folder : settings) {
            folders.push_back({{"folder", folder.path}, {"keys", keysOf(plan, folder.path)}});
        }
        document["settings"] = std::move(folders);
    }
    // The entries are written as they come, not held as lines: there may be 100,000 of them.
    if (std::ostream* where = planStream(console, options.json)) {
        if (!listed.empty()) {
            *where << "These entries of " << target.name << " go to the Trash:\n";
        }
        for (const std::string& path : listed) {
            *where << "  " << shellEscaped(path) << '\n';
        }
        if (!settings.empty()) {
            *where << "These folders of the desktop's settings database are reset, their keys "
                      "kept in the record:\n";
        }
        for (const SettingsFolder& folder : settings) {
            *where << "  " << settingsFolderShown(folder.path, keysOf(plan, folder.path)) << '\n';
        }
    }
    std::vector<std::string> lines;
    if (plan.hard) {
        const std::vector<std::string> hardEntries = plan.hardEntries(kinds);
        for (const std::string& path : hardEntries) {
            if (options.json) {
                document["entries"].push_back(jsonPath(path));
            }
            lines.push_back("  " + shellEscaped(path));
        }
        lines.push_back("and " +
                        hardResetCookieLine(*plan.hard, std::get<UserFolders>(located).home) + ".");
        lines.push_back(hardResetWarning(*plan.hard, std::get<UserFolders>(located)));
    }
    const bool linux = target.family == TargetFamily::LinuxApplication;
    const bool system = !linux && isSystemTargetPath(*target.bundle);
    if (!settings.empty()) {
        lines.insert(lines.end(), plan.notes.begin(), plan.notes.end());
    }
    TargetInstances instances(ports, target.identifier,
                              linux ? std::optional(target.package) : std::nullopt,
                              target.desktopFile.value_or(""));
    RunningApplications* running = system ? nullptr : instances.running();
    if (linux && !running) {
        lines.push_back("Corvane cannot tell whether " + target.name +
                        " is running: quit it first, or it may write its settings back.");
    } else if (const std::string note = runningNote(running, target.identifier, target.name);
               !note.empty()) {
        lines.push_back(note);
    }
    showPlan(console, options.json, lines);
    if (!consents(console, options.confirmed,
                  "reset " + target.name +
                      (hard ? ", losing its bookmarks, history and extensions" : ""))) {
        return finish(ResetEnding::Declined);
    }

    ResetPlan reset;
    reset.identifier = target.identifier;
    reset.applicationName = target.name;
    reset.applicationPath = target.bundle ? *target.bundle : target.desktopFile.value_or("");
    reset.systemTarget = system;
    reset.hardSafari = hard;
    reset.listed = std::move(listed);
    reset.clearsDomain = !linux && kinds.clearsDomain();
    reset.kinds = plan.takenKinds(kinds);
    reset.settings = settings;
    if (hard) {
        reset.cookieStoreFile = ports.cookieStore.storeFile();
    }
    transaction->setPlan(std::move(reset));
    if (!targetHasQuit(running, console, target.identifier, target.name, "removed")) {
        return finish(ResetEnding::Declined);
    }
    const Untrashable untrashable = transaction->untrashable();
    if (!untrashable.paths.empty()) {
        say(console, untrashable.sentence() + ":");
        for (const std::string& path : untrashable.paths) {
            console.err << "  " << shellEscaped(path) << '\n';
        }
        if (!options.removeForGood) {
            say(console, "nothing was changed; add --no-trash to remove them for good");
            document["untrashable"] = jsonPaths(untrashable.paths);
            return finish(ResetEnding::Declined);
        }
    }
    if (options.json) {
        nlohmann::json moves = nlohmann::json::array();
        for (const ResetTransaction::Move& move : transaction->moves()) {
            nlohmann::json item = jsonPath(move.path);
            item["items"] = move.items;
            moves.push_back(std::move(item));
        }
        document["moves"] = std::move(moves);
    }
    const ResetOutcome outcome = transaction->apply(options.removeForGood);
    if (outcome.ending == ResetEnding::Declined) {
        say(console, outcome.refusal);
        return finish(ResetEnding::Declined);
    }
    if (outcome.ending == ResetEnding::NothingToDo) {
        say(console, nothingFoundMessage(target.name));
        return finish(ResetEnding::NothingToDo);
    }
    if (options.json) {
        document["record"] =
            outcome.record.empty() ? nlohmann::json() : nlohmann::json(outcome.record);
        document["trashed"] = outcome.trashed;
        document["removed_for_good"] = outcome.removedForGood;
        document["stayed"] = jsonPaths(outcome.leftovers);
        document["reasons"] = outcome.reasons;
        document["settings_reset"] = outcome.settingsReset;
        document["locked_keys"] = outcome.lockedKeys;
    }
    reportReset(console, target, outcome, options.json);
    return finish(outcome.ending);
}

} // namespace corvane::cli
