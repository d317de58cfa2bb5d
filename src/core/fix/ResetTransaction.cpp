#include "core/fix/ResetTransaction.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "core/LoggedTool.h"
#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"
#include "core/fix/Interruption.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetRecord.h"
#include "core/fix/Restore.h"
#include "core/linuxapps/SettingsSnapshot.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"

#include <algorithm>
#include <ctime>
#include <unordered_map>
#include <variant>

namespace corvane {

namespace {

constexpr const char* kDockIdentifier = "com.apple.dock";
constexpr const char* kFinderIdentifier = "com.apple.finder";
constexpr const char* kEmptyOutputPlaceholder = "success!";
constexpr const char* kSuccessText = "Default settings for %@ have been successfully restored.\n";
constexpr std::size_t kMaxNamedLeftovers = 10;
constexpr const char* kInTrashText = "The removed files are in the Trash; ";
constexpr const char* kInTrashUnrecordedText = "The removed files are in the Trash.";

std::string withName(const std::string& format, const std::string& name) {
    const std::size_t at = format.find("%@");
    if (at == std::string::npos) {
        return format;
    }
    return format.substr(0, at) + name + format.substr(at + 2);
}

std::string entries(std::size_t count, const char* verb) {
    return plural(count, "entry", "entries") + " " + verb;
}

// The last line of the account: where the entries went.
std::string trashLine(const ResetOutcome& outcome, const std::string& howToRestore) {
    if (outcome.ending == ResetEnding::Interrupted) {
        return "Interrupted: " + entries(outcome.trashed, outcome.trashed == 1 ? "is" : "are") +
               " in the Trash; Restore puts them back.";
    }
    if (outcome.trashed == 0 && outcome.removedForGood == 0) {
        return {};
    }
    std::string line;
    if (outcome.removedForGood > 0) {
        line = entries(outcome.removedForGood, outcome.removedForGood == 1 ? "was" : "were") +
               " removed for good, as you agreed.";
        if (outcome.trashed == 0) {
            return line;
        }
        line += " ";
    }
    return line + (outcome.recorded ? kInTrashText + howToRestore + "." : kInTrashUnrecordedText);
}

} // namespace

std::vector<std::string> hardResetEntries(const FileSystem& fs, const UserFolders& folders,
                                          const std::string& identifier) {
    std::vector<std::string> found = {appendPathComponent(folders.library, "Safari")};
    const std::string adware = appendPathComponent(folders.home, kAdwareFolder);
    if (fs.fileExists(adware)) {
        found.push_back(adware);
    }
    const std::vector<std::string> owned = findHardResetEntries(fs, folders, identifier);
    found.insert(found.end(), owned.begin(), owned.end());
    return found;
}

HardResetPreview previewHardReset(const FileSystem& fs, const UserFolders& folders,
                                  const std::string& identifier, CookieStore* cookies) {
    HardResetPreview preview;
    for (const std::string& path : hardResetEntries(fs, folders, identifier)) {
        // What lies inside a listed folder is counted with it.
        if (std::any_of(preview.entries.begin(), preview.entries.end(),
                        [&path](const HardResetPreview::Entry& listed) {
                            return isInsideFolder(path, listed.path);
                        })) {
            continue;
        }
        HardResetPreview::Entry entry{path, fs.entryExists(path), std::nullopt};
        std::size_t items = 0;
        if (fs.walk(path, [&items](const std::string&) {
                ++items;
                return true;
            }) == FileSystem::WalkResult::Walked) {
            entry.items = items;
        }
        preview.entries.push_back(std::move(entry));
    }
    if (cookies) {
        preview.cookieStore = cookies->location();
        const std::size_t count = cookies->cookies().size();
        if (count > 0 || cookies->isKnownEmpty()) {
            preview.cookies = count;
        }
    }
    return preview;
}

LibraryRemover::RunTool toolRunnerThrough(const Ports& ports) {
    return [&launcher = ports.launcher, &log = ports.systemLog](
               const std::string& tool, const std::vector<std::string>& arguments) {
        return runLoggedTool(launcher, log, tool, arguments);
    };
}

std::string resetAccountText(const std::string& applicationName, const ResetOutcome& outcome,
                             const std::string& howToRestore) {
    const std::string line = trashLine(outcome, howToRestore);
    const std::string extra = line.empty() ? std::string() : line + "\n";
    std::string settings;
    if (!outcome.settingsReset.empty()) {
        settings = "The keys of " + plural(outcome.settingsReset.size(), "folder", "folders") +
                   " of the desktop's settings database were reset; the record keeps them" +
                   (outcome.recorded ? " for Restore" : "") + ".\n";
    }
    if (!outcome.lockedKeys.empty()) {
        settings += "Locked by the administrator, these keys keep their values:";
        for (const std::string& key : outcome.lockedKeys) {
            settings += " " + key;
        }
        settings += "\n";
    }
    if (outcome.leftovers.empty()) {
        return withName(kSuccessText, applicationName) + settings + extra;
    }
    std::string text = "Corvane could not remove everything for " + applicationName +
                       ". These items are still there:\n\n";
    for (std::size_t i = 0; i < outcome.leftovers.size() && i < kMaxNamedLeftovers; ++i) {
        text += outcome.leftovers[i] + "\n";
    }
    if (outcome.leftovers.size() > kMaxNamedLeftovers) {
        text += andMore(outcome.leftovers.size() - kMaxNamedLeftovers) + ".\n";
    }
    if (!outcome.reasons.empty()) {
        text += "\nThey stayed because:\n";
        for (const std::string& reason : outcome.reasons) {
            text += reason + "\n";
        }
    }
    return text + settings + extra;
}

ResetTransaction::ResetTransaction(ResetPlan plan, const Ports& ports,
                                   std::optional<ResetLock> lock,
                                   std::optional<std::string> library,
                                   std::optional<std::string> home)
    : m_plan(std::move(plan)), m_ports(ports), m_runTool(toolRunnerThrough(ports)),
      m_lock(std::move(lock)), m_library(std::move(library)), m_home(std::move(home)) {}

Result<ResetTransaction> ResetTransaction::begin(ResetPlan plan, const Ports& ports,
                                                 const std::function<void()>& whileWaiting) {
    const auto located = locateUserFolders(ports.fileSystem);
    const UserFolders* folders = std::get_if<UserFolders>(&located);
    std::optional<ResetLock> lock;
    // Without a Trash nothing is recorded, so there is nothing to keep in step with.
    if (folders && ports.trash) {
        Result<ResetLock> taken =
            ResetLock::take(ResetRecords::folderIn(folders->library),
                            ports.clock ? *ports.clock : steadyClock(), kLockWait, whileWaiting);
        if (!taken) {
            return taken.error();
        }
        lock = std::move(*taken);
        ResetRecords records(ResetRecords::folderIn(folders->library));
        tidyRecords(records, *ports.trash);
    }
    return ResetTransaction(std::move(plan), ports, std::move(lock),
                            folders ? std::optional(folders->library) : std::nullopt,
                            folders ? std::optional(folders->home) : std::nullopt);
}

void ResetTransaction::setPlan(ResetPlan plan) {
    m_plan = std::move(plan);
    m_remover.reset();
    m_targets.clear();
}

std::vector<std::string> ResetTransaction::planned() const {
    std::vector<std::string> all = m_plan.listed;
    all.insert(all.end(), m_plan.hardReset.begin(), m_plan.hardReset.end());
    if (m_plan.cookieStoreFile) {
        all.push_back(*m_plan.cookieStoreFile);
    }
    return all;
}

Untrashable ResetTransaction::untrashable() {
    // Caches and Cookies are walked only now, after the target has quit and written its last.
    if (m_plan.hardSafari && m_plan.hardReset.empty() && m_library && m_home) {
        m_plan.hardReset = hardResetEntries(m_ports.fileSystem, UserFolders{*m_home, *m_library},
                                            m_plan.identifier.value_or(""));
    }
    if (!m_remover) {
        m_remover.emplace(m_ports.fileSystem, m_library, m_home, m_runTool, &m_ports.systemLog,
                          m_ports.trash);
    }
    // Listed once: the look ahead and the journal's head name the same entries. A listing that
    // is all there is to remove, as it is but for a Hard reset, is not copied first: it may hold
    // 100,000 paths.
    if (m_plan.hardReset.empty() && !m_plan.cookieStoreFile) {
        m_targets = m_remover->targets(m_plan.listed);
    } else {
        m_targets = m_remover->targets(planned());
    }
    return m_remover->findUntrashable(m_targets);
}

std::vector<ResetTransaction::Move> ResetTransaction::moves() {
    if (!m_remover) {
        (void)untrashable();
    }
    std::vector<Move> moves;
    std::unordered_map<std::string, std::size_t> index;
    for (const std::string& target : m_targets) {
        index.emplace(target, moves.size());
        moves.push_back({target, 0});
    }
    const auto carry = [&](const std::string& path) {
        const std::optional<std::string> target = m_remover->targetOf(path);
        // The topmost move at or above it carries it.
        std::optional<std::size_t> carrier;
        for (std::string place = target.value_or(""); place.size() > 1;
             place = parentFolder(place)) {
            if (const auto found = index.find(place); found != index.end()) {
                carrier = found->second;
            }
        }
        if (carrier) {
            ++moves[*carrier].items;
        }
    };
    std::for_each(m_plan.listed.begin(), m_plan.listed.end(), carry);
    std::for_each(m_plan.hardReset.begin(), m_plan.hardReset.end(), carry);
    if (m_plan.cookieStoreFile) {
        carry(*m_plan.cookieStoreFile);
    }
    return moves;
}

void ResetTransaction::log(const std::string& line) const {
    m_ports.systemLog.log(line);
}

std::optional<std::string> ResetTransaction::runTool(const std::string& tool,
                                                     const std::vector<std::string>& arguments) {
    return m_runTool(tool, arguments);
}

void ResetTransaction::removeEach(LibraryRemover& remover, const std::vector<std::string>& paths,
                                  const std::function<void()>& tick) {
    for (const std::string& path : paths) {
        if (InterruptionScope::requested()) {
            remover.stop("Corvane was interrupted before it came to this entry");
        }
        remover.remove(path);
        if (tick) {
            tick();
        }
    }
}

bool ResetTransaction::hasDefaults() const {
    return m_ports.launcher.isInstalled(systemToolPath(Tool::Defaults));
}

void ResetTransaction::clearDomain() {
    if (!m_plan.identifier) {
        return;
    }
    const std::string& identifier = *m_plan.identifier;
    const std::string defaults = systemToolPath(Tool::Defaults);
    // Without a preferences daemon the files just moved were the preferences: nothing is left to
    // clear, and that is no fault.
    if (!hasDefaults()) {
        m_ports.systemLog.debug(defaults + " is not on this host; the preferences domain of " +
                                identifier + " needs no clearing");
        return;
    }
    // A tool that could not be run at all did not succeed, whatever it would have printed.
    const auto shown = [](const std::optional<std::string>& output) {
        return !output           ? std::string("it could not be run")
               : output->empty() ? std::string(kEmptyOutputPlaceholder)
                                 : *output;
    };
    (void)runTool(defaults, {"read", identifier});
    log("defaults 1 exited with: " + shown(runTool(defaults, {"delete", identifier})));
    // Per-host preferences live in a domain of their own.
    log("defaults -currentHost exited with: " +
        shown(runTool(defaults, {"-currentHost", "delete", identifier})));
}

void ResetTransaction::restartSystemTarget() {
    const std::string identifier = m_plan.identifier.value_or("");
    if (containsIgnoringCase(identifier, kDockIdentifier)) {
        (void)runTool(systemToolPath(Tool::KillAll), {"Dock"});
    }
    if (containsIgnoringCase(identifier, kFinderIdentifier)) {
        (void)runTool(systemToolPath(Tool::KillAll), {"Finder"});
    }
    if (m_plan.identifier && m_plan.clearsDomain && hasDefaults()) {
        log("defaults 2 exited with: " +
            runTool(systemToolPath(Tool::Defaults), {"delete", identifier}).value_or(""));
    }
}

std::optional<std::string> ResetTransaction::emptyCookieStore(LibraryRemover& remover) {
    CookieStore* store = &m_ports.cookieStore;
    const FileSystem& fs = m_ports.fileSystem;
    const std::optional<std::string>& file = m_plan.cookieStoreFile;
    // The store's file is emptied in place; a copy in the Trash keeps the cookies. Without that
    // copy the cookies are deleted only where the user agreed to lose them.
    const bool present = file && fs.entryExists(*file);
    const std::optional<TrashedEntry> copy = present ? remover.keepCopy(*file) : std::nullopt;
    if (present && !copy && !fs.entryExists(*file)) {
        return std::nullopt; // moved to the Trash whole; nothing is left to empty
    }
    if (present && !copy && remover.reasonLeft(*file)) {
        return store->location();
    }
    store->deleteCookies(store->cookies());
    if (copy.has_value()) {
        if (const std::optional<EntryStamp> stamp = fs.stamp(copy->original)) {
            remover.noteLeftInPlace(*copy, *stamp);
        }
    }
    // A store that could not be read or rewritten still holds its cookies.
    return store->isKnownEmpty() ? std::nullopt : std::optional(store->location());
}

void ResetTransaction::resetSettings(ResetJournal* journal, ResetOutcome& outcome,
                                     std::vector<std::pair<std::string, std::string>>& stayed) {
    SettingsDatabase* database = m_ports.settingsDatabase;
    for (const SettingsFolder& folder : m_plan.settings) {
        const auto stay = [&](const std::string& reason) {
            stayed.emplace_back(folder.path, reason);
        };
        if (InterruptionScope::requested()) {
            stay("Corvane was interrupted before it came to this entry");
            continue;
        }
        if (!database) {
            stay("the desktop's settings database (dconf) could not be reached");
            continue;
        }
        // Without a record the keys could not be written back: they are not reset.
        if (!journal) {
            stay("no record could be kept to put the settings back");
            continue;
        }
        if (Result<std::vector<std::string>> locked = database->lockedKeys(folder)) {
            outcome.lockedKeys.insert(outcome.lockedKeys.end(), locked->begin(), locked->end());
        }
        bool recorded = false;
        const Result<SettingsValues> dumped =
            dumpThenReset(*database, folder, 4, [&](const SettingsValues& values) -> Status {
                if (values.empty()) {
                    return Done{};
                }
                Result<std::string> line = settingsDumpLine({folder, values});
                if (!line) {
                    return line.error();
                }
                if (Status written = journal->append(*line); !written) {
                    return written;
                }
                // On the disk before the reset: a kill right after it must not lose the keys.
                recorded = true;
                return journal->sync();
            });
        if (!dumped) {
            if (recorded) {
                (void)journal->append(settingsStayedLine(folder.path));
            }
            stay(dumped.error().reason);
        } else if (!dumped->empty()) {
            outcome.settingsReset.push_back(folder.path);
        }
    }
}

ResetOutcome ResetTransaction::apply(bool removeForGood, const std::function<void()>& tick) {
    if (!m_remover) {
        (void)untrashable();
    }
    LibraryRemover& remover = *m_remover;
    ResetOutcome outcome;
    // Another run may have taken everything listed while this one waited for the lock.
    const FileSystem& fs = m_ports.fileSystem;
    const auto exists = [&fs](const std::string& path) { return fs.entryExists(path); };
    const bool listedAny =
        !m_plan.listed.empty() || !m_plan.hardReset.empty() || m_plan.cookieStoreFile.has_value();
    // Folders of the settings database are looked at again when they are reset.
    if (listedAny && !m_plan.systemTarget && m_plan.settings.empty() &&
        std::none_of(m_plan.listed.begin(), m_plan.listed.end(), exists) &&
        std::none_of(m_plan.hardReset.begin(), m_plan.hardReset.end(), exists) &&
        !(m_plan.cookieStoreFile && exists(*m_plan.cookieStoreFile))) {
        outcome.ending = ResetEnding::NothingToDo;
        return outcome;
    }
    if (removeForGood) {
        remover.allowRemovalForGood();
    }
    std::unique_ptr<ResetJournal> journal;
    ResetRecord record;
    // The targets are not needed again once the journal's head names them.
    record.planned = std::move(m_targets);
    m_targets.clear();
    if (m_library && m_ports.trash && (!record.planned.empty() || !m_plan.settings.empty())) {
        record.identifier = m_plan.identifier.value_or("");
        record.applicationName = m_plan.applicationName;
        record.applicationPath = m_plan.applicationPath;
        record.systemTarget = m_plan.systemTarget;
        record.kinds = m_plan.kinds;
        record.time = static_cast<std::int64_t>(std::time(nullptr));
        Result<std::unique_ptr<ResetJournal>> begun =
            ResetRecords(ResetRecords::folderIn(*m_library)).begin(record);
        if (!begun) {
            outcome.ending = ResetEnding::Declined;
            outcome.refusal = "Nothing was removed: Corvane could not write the record Restore "
                              "needs (" +
                              begun.error().reason + ").";
            return outcome;
        }
        journal = std::move(*begun);
        remover.setJournal(journal.get());
    }
    std::vector<std::string>().swap(record.planned);

    std::optional<std::string> cookieLeftover;
    std::vector<std::pair<std::string, std::string>> settingsStayed;
    {
        const InterruptionScope interruption;
        removeEach(remover, m_plan.listed, tick);
        resetSettings(journal.get(), outcome, settingsStayed);
        if (m_plan.clearsDomain) {
            clearDomain();
        }
        removeEach(remover, m_plan.hardReset, tick);
        if (m_plan.hardSafari && !remover.stopped() && !InterruptionScope::requested()) {
            cookieLeftover = emptyCookieStore(remover);
        }
        if (m_plan.systemTarget) {
            restartSystemTarget();
        }
        if (InterruptionScope::requested()) {
            outcome.ending = ResetEnding::Interrupted;
        }
    }

    outcome.trashed = remover.trashedCount();
    outcome.removedForGood = remover.removedForGood().size();
    if (journal) {
        const std::string id = journal->id();
        outcome.recorded = journal->sync().ok();
        outcome.record = outcome.recorded ? id : std::string();
        journal.reset();
        if (outcome.trashed == 0 && outcome.removedForGood == 0 && outcome.settingsReset.empty()) {
            ResetRecords(ResetRecords::folderIn(*m_library)).remove(id);
            outcome.recorded = false;
            outcome.record.clear();
        }
    }
    outcome.leftovers = remover.remaining();
    for (const std::string& path : outcome.leftovers) {
        const std::optional<std::string> reason = remover.reasonLeft(path);
        if (reason && std::find(outcome.reasons.begin(), outcome.reasons.end(), *reason) ==
                          outcome.reasons.end()) {
            outcome.reasons.push_back(*reason);
        }
    }
    if (cookieLeftover) {
        outcome.leftovers.push_back(*cookieLeftover);
    }
    for (const auto& [folder, reason] : settingsStayed) {
        outcome.leftovers.push_back(folder);
        if (std::find(outcome.reasons.begin(), outcome.reasons.end(), reason) ==
            outcome.reasons.end()) {
            outcome.reasons.push_back(reason);
        }
    }
    if (outcome.ending == ResetEnding::Interrupted) {
        log(trashLine(outcome, {}));
    } else if (!outcome.leftovers.empty()) {
        outcome.ending = ResetEnding::Partial;
    }
    return outcome;
}

} // namespace corvane
