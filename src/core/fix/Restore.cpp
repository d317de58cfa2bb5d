#include "core/fix/Restore.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "core/UserFolders.h"
#include "core/analysis/SettingsKind.h"
#include "core/fix/Interruption.h"
#include "core/fix/LibraryRemover.h"
#include "core/linuxapps/SettingsSnapshot.h"
#include "ports/FileSystem.h"
#include "ports/Services.h"
#include "ports/Trash.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace corvane {

namespace {

constexpr std::size_t kMaxNamed = 10;

// True for an absolute path with no empty, "." or ".." component.
bool isPlainAbsolute(const std::string& path) {
    if (path.size() < 2 || path.front() != '/' || path.back() == '/') {
        return false;
    }
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string_view part(path.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Whether each folder leads out of the confinement, resolved once per restore: thousands of
// entries share a few folders, and those of one folder come one after another.
struct FolderVerdicts {
    std::unordered_map<std::string, bool> known;
    std::string last;
    bool lastInside = false;
};

// The place lies beneath a root of the confinement, and so does the nearest folder above it that
// exists, once resolved: a folder swapped for a symlink cannot lead the entry out.
bool isPlaceConfined(const FileSystem& fs, const std::string& place, const Confinement& confinement,
                     FolderVerdicts& verdicts) {
    const std::string* root = confinement.rootOf(place);
    if (!isPlainAbsolute(place) || !root) {
        return false;
    }
    const std::size_t slash = place.rfind('/');
    const std::string_view parent =
        slash == 0 ? std::string_view("/") : std::string_view(place).substr(0, slash);
    if (!verdicts.last.empty() && verdicts.last == parent) {
        return verdicts.lastInside;
    }
    verdicts.last = parent;
    if (const auto known = verdicts.known.find(verdicts.last); known != verdicts.known.end()) {
        return verdicts.lastInside = known->second;
    }
    std::string folder = verdicts.last;
    while (folder != *root && !fs.entryExists(folder)) {
        folder = parentFolder(folder);
    }
    const std::optional<std::string> resolved = fs.resolvedPath(folder);
    return verdicts.lastInside = verdicts.known[verdicts.last] =
               resolved && isInsideFolder(*resolved, *root);
}

// The part of the identity rule a stat settles: the item stamped has the identity's inode,
// size and time. The device number is left out, as in the Trash's own rule (a remount may change
// it), but for records from before sizes and times were kept.
bool matchesStat(const std::optional<EntryStamp>& stamp, const EntryIdentity& identity) {
    return stamp && stamp->inode == identity.inode &&
           (identity.size ? *identity.size == stamp->size && identity.modifiedNanoseconds &&
                                *identity.modifiedNanoseconds == stamp->modifiedNanoseconds
                          : stamp->device == identity.device);
}

bool hasStatOf(const FileSystem& fs, const std::string& path, const EntryIdentity& identity) {
    return matchesStat(fs.stamp(path), identity);
}

// A record of the same application, holding nothing yet.
ResetRecord applicationOf(const ResetRecord& record) {
    ResetRecord other;
    other.identifier = record.identifier;
    other.applicationName = record.applicationName;
    other.applicationPath = record.applicationPath;
    other.systemTarget = record.systemTarget;
    return other;
}

bool isOursInTrash(Trash& trash, const TrashedEntry& entry) {
    return trash.examine(entry.trashed, entry.original, entry.identity) == TrashedItemState::Ours;
}

// Moves what was written since at the places of a restore's entries to the Trash, under a
// record of its own made at the first, and only what the user was shown.
class Replacement {
public:
    Replacement(ResetRecords& records, const RestorePlan& plan, Trash& trash, const FileSystem& fs,
                const UserFolders& folders, SystemLog* log)
        : m_records(records), m_plan(plan), m_trash(trash), m_fs(fs), m_folders(folders),
          m_log(log), m_agreed(plan.replaced.begin(), plan.replaced.end()) {}

    bool makeRoom(const std::string& place) {
        if (!m_agreed.contains(place) || !begin()) {
            return false;
        }
        m_remover->remove(place);
        return !m_fs.entryExists(place);
    }

    // Keeps the keys written since in a folder of the settings database, on the disk before
    // they are overwritten; only for a folder the user was shown.
    Status keepSettings(const SettingsDump& dump) {
        const std::string shownFrom = dump.folder.path + " (";
        if (std::none_of(m_plan.settingsReplaced.begin(), m_plan.settingsReplaced.end(),
                         [&](const std::string& shown) { return shown.starts_with(shownFrom); })) {
            return Error{"keys were written in it since Restore showed what it would do"};
        }
        if (!begin()) {
            return Error{"the keys written since could not be kept in a record"};
        }
        Result<std::string> line = settingsDumpLine(dump);
        if (!line) {
            return line.error();
        }
        if (Status written = m_journal->append(*line); !written) {
            return written;
        }
        if (Status synced = m_journal->sync(); !synced) {
            return synced;
        }
        m_settingsKept.push_back(dump.folder.path);
        return Done{};
    }

    // Ends the record; gives its name and what went, or nothing when nothing did.
    void finish(RestoreResult& result) {
        if (!m_journal) {
            return;
        }
        (void)m_journal->sync();
        const std::string id = m_journal->id();
        m_journal.reset();
        for (const TrashedEntry& entry : m_remover->trashed()) {
            result.replaced.push_back(entry.original);
        }
        result.settingsReplaced = m_settingsKept;
        if (result.replaced.empty() && result.settingsReplaced.empty()) {
            m_records.remove(id);
        } else {
            result.replacement = id;
        }
    }

private:
    bool begin() {
        if (m_journal) {
            return true;
        }
        if (m_failed) {
            return false;
        }
        const ResetRecord& source = m_plan.record;
        ResetRecord record = applicationOf(source);
        record.time = static_cast<std::int64_t>(std::time(nullptr));
        record.planned = m_plan.replaced;
        record.replacedByRestoring = source.id;
        // One more than usual: the record being restored must not make way for this one.
        Result<std::unique_ptr<ResetJournal>> begun =
            m_records.begin(record, ResetRecords::kKept + 1);
        if (!begun) {
            m_failed = true;
            if (m_log) {
                m_log->log("Could not write the record of what a restore replaces: " +
                           begun.error().reason);
            }
            return false;
        }
        m_journal = std::move(*begun);
        m_remover.emplace(m_fs, m_folders.library, m_folders.home, LibraryRemover::RunTool{}, m_log,
                          &m_trash);
        m_remover->setJournal(m_journal.get());
        m_remover->rememberTrashed();
        return true;
    }

    ResetRecords& m_records;
    const RestorePlan& m_plan;
    Trash& m_trash;
    const FileSystem& m_fs;
    const UserFolders& m_folders;
    SystemLog* m_log;
    std::unordered_set<std::string> m_agreed;
    std::unique_ptr<ResetJournal> m_journal;
    std::optional<LibraryRemover> m_remover;
    std::vector<std::string> m_settingsKept;
    bool m_failed = false;
};

// Writes back each folder of the settings database the record holds.
void restoreSettingsOf(const ResetRecord& record, SettingsDatabase* database,
                       Replacement& replacement, RestoreResult& result) {
    for (const SettingsDump& dump : record.settings) {
        const auto leave = [&](const std::string& reason) {
            result.settingsLeft.push_back({dump, reason});
        };
        if (result.interrupted || InterruptionScope::requested()) {
            leave("not written back yet, Corvane was interrupted");
            continue;
        }
        if (!database) {
            leave("the desktop's settings database (dconf) could not be reached");
            continue;
        }
        Result<SettingsValues> now = database->dump(dump.folder);
        if (!now) {
            leave(now.error().reason);
            continue;
        }
        if (!now->empty() && *now != dump.values) {
            // Nothing written since is overwritten before it is kept.
            if (Status kept = replacement.keepSettings({dump.folder, *now}); !kept) {
                leave(kept.error().reason + "; nothing was overwritten");
                continue;
            }
        }
        if (Status written = restoreSettings(*database, dump.folder, dump.values); !written) {
            leave(written.error().reason);
            continue;
        }
        result.settingsRestored.push_back(dump.folder.path);
    }
}

} // namespace

std::vector<TrashedEntry> RestoreResult::leftInTrash() const {
    std::vector<TrashedEntry> left;
    // Kept in reverse of the restore's order, which is the reset's order.
    for (const auto* list : {&notTried, &failed, &keptInTrash, &refused, &notOurs}) {
        left.insert(left.end(), list->rbegin(), list->rend());
    }
    return left;
}

bool RestoreResult::whole() const {
    return keptInTrash.empty() && gone.empty() && notOurs.empty() && removedForGood.empty() &&
           refused.empty() && failed.empty() && notTried.empty() && settingsLeft.empty();
}

TimeSpan resetSpan(const ResetRecord& record) {
    // DeletionDate counts whole seconds; the record's file was last written when the reset
    // ended, or when its journal was cut.
    return {record.time - 1, std::max(record.lastWritten, record.time) + 1};
}

std::vector<TrashedEntry> recoveredEntries(const ResetRecord& record, Trash& trash) {
    std::vector<TrashedEntry> found;
    // Every planned entry has its line, as in any journal written to its end.
    if (record.planned.size() <= record.moved.size() + record.removed.size()) {
        return found;
    }
    std::unordered_set<std::string_view> known(record.removed.begin(), record.removed.end());
    for (const TrashedEntry& entry : record.moved) {
        known.insert(entry.original);
    }
    std::vector<std::string> lost;
    for (const std::string& path : record.planned) {
        if (!known.contains(path)) {
            lost.push_back(path);
        }
    }
    if (lost.empty()) {
        return found;
    }
    std::unordered_map<std::string, TrashSlot> slots;
    for (TrashSlot& slot : trash.findTrashedFrom(lost, resetSpan(record))) {
        slots.emplace(slot.original, std::move(slot));
    }
    // In the order the reset planned them, which is the order it moved them.
    for (const std::string& path : lost) {
        if (const auto slot = slots.find(path); slot != slots.end()) {
            found.push_back({path, slot->second.trashed, slot->second.identity, std::nullopt});
        }
    }
    return found;
}

std::size_t entriesInTrash(const ResetRecord& record, Trash& trash) {
    const auto ours =
        std::count_if(record.moved.begin(), record.moved.end(),
                      [&trash](const TrashedEntry& e) { return isOursInTrash(trash, e); });
    return static_cast<std::size_t>(ours) + recoveredEntries(record, trash).size();
}

bool hasSomethingToPutBack(const ResetRecord& record, Trash& trash) {
    return !record.settings.empty() ||
           std::any_of(record.moved.begin(), record.moved.end(),
                       [&trash](const TrashedEntry& e) { return isOursInTrash(trash, e); }) ||
           !recoveredEntries(record, trash).empty();
}

RestorePlan planRestore(ResetRecord record, Trash& trash, const FileSystem& fs,
                        const Confinement& confinement, SettingsDatabase* settings) {
    std::vector<TrashedEntry> recovered = recoveredEntries(record, trash);
    RestorePlan plan{std::move(record), {}, {}, {}};
    for (const SettingsDump& dump : plan.record.settings) {
        const Result<SettingsValues> now =
            settings ? settings->dump(dump.folder) : Result<SettingsValues>(Error{""});
        if (now && !now->empty() && *now != dump.values) {
            plan.settingsReplaced.push_back(settingsFolderShown(dump.folder.path, now->size()));
        }
    }
    std::move(recovered.begin(), recovered.end(), std::back_inserter(plan.record.moved));
    FolderVerdicts folderInside;
    // The Trash's items and the places they came from are looked at a batch at a time: entries
    // of one folder are then taken together, with the batch's paths held only as views.
    constexpr std::size_t kBatch = 4096;
    const std::vector<TrashedEntry>& moved = plan.record.moved;
    std::vector<std::string_view> trashed;
    std::vector<std::string_view> originals;
    for (std::size_t first = 0; first < moved.size(); first += kBatch) {
        const std::size_t end = std::min(moved.size(), first + kBatch);
        trashed.clear();
        originals.clear();
        for (std::size_t i = first; i < end; ++i) {
            trashed.emplace_back(moved[i].trashed);
            originals.emplace_back(moved[i].original);
        }
        const std::vector<std::optional<EntryStamp>> items = fs.stamps(trashed);
        const std::vector<bool> taken = fs.entriesExist(originals);
        for (std::size_t i = first; i < end; ++i) {
            const TrashedEntry& entry = moved[i];
            if (!isPlaceConfined(fs, entry.original, confinement, folderInside) ||
                !matchesStat(items[i - first], entry.identity)) {
                continue;
            }
            plan.comeBack.push_back(i);
            const bool copyOverLeftVersion =
                entry.leftInPlace && fs.stamp(entry.original) == entry.leftInPlace;
            if (taken[i - first] && !copyOverLeftVersion) {
                plan.replaced.push_back(entry.original);
            }
        }
    }
    // What lies inside a place that is replaced goes with it.
    const std::unordered_set<std::string> places(plan.replaced.begin(), plan.replaced.end());
    std::erase_if(plan.replaced, [&places](const std::string& place) {
        for (std::string folder = parentFolder(place); folder.size() > 1;
             folder = parentFolder(folder)) {
            if (places.contains(folder)) {
                return true;
            }
        }
        return false;
    });
    return plan;
}

RestoreChoice newestRestorable(const ResetRecords& records,
                               const std::optional<std::string>& identifier, Trash& trash) {
    RestoreChoice choice;
    records.forEach(identifier, [&](KeptRecord& kept) {
        if (const auto* damaged = std::get_if<DamagedRecord>(&kept)) {
            choice.skipped.push_back(*damaged);
            return true;
        }
        ResetRecord& record = std::get<ResetRecord>(kept);
        if (hasSomethingToPutBack(record, trash)) {
            choice.record = std::move(record);
            return false;
        }
        return true;
    });
    return choice;
}

void tidyRecords(ResetRecords& records, Trash& trash) {
    (void)tidyRecords(records, trash, std::string());
}

std::optional<ResetRecord> tidyRecords(ResetRecords& records, Trash& trash,
                                       const std::string& keep) {
    std::optional<ResetRecord> wanted;
    std::vector<std::string> empty;
    // One place per folder stands for them all: the Trashes serving them are the same.
    std::unordered_map<std::string, std::string> oneInFolder;
    records.forEach(std::nullopt, [&](KeptRecord& one) {
        auto* record = std::get_if<ResetRecord>(&one);
        if (!record) {
            return true;
        }
        for (const std::string& path : record->planned) {
            oneInFolder.try_emplace(parentFolder(path), path);
        }
        // An item that cannot be proven ours keeps its record, so that it is never forgotten.
        const bool somethingLeft =
            std::any_of(record->moved.begin(), record->moved.end(),
                        [&trash](const TrashedEntry& entry) {
                            const TrashedItemState state =
                                trash.examine(entry.trashed, entry.original, entry.identity);
                            return state == TrashedItemState::Ours ||
                                   state == TrashedItemState::NotOurs;
                        }) ||
            !record->settings.empty() || !recoveredEntries(*record, trash).empty();
        if (!somethingLeft) {
            empty.push_back(record->id);
        } else if (!keep.empty() && record->id == keep) {
            wanted = std::move(*record);
        }
        return true;
    });
    std::vector<std::string> samples;
    samples.reserve(oneInFolder.size());
    for (auto& [folder, path] : oneInFolder) {
        samples.push_back(std::move(path));
    }
    // The places of every record are gathered only when the Trash holds a note without its
    // item, which is rare: a record may name 100,000 of them.
    if (!samples.empty() && trash.hasNotesWithoutItems(samples)) {
        std::map<std::string, TimeSpan> places;
        records.forEach(std::nullopt, [&places](const KeptRecord& kept) {
            if (const auto* record = std::get_if<ResetRecord>(&kept)) {
                const TimeSpan span = resetSpan(*record);
                for (const std::string& path : record->planned) {
                    auto [known, added] = places.emplace(path, span);
                    if (!added) {
                        known->second = {std::min(known->second.from, span.from),
                                         std::max(known->second.to, span.to)};
                    }
                }
            }
            return true;
        });
        trash.forgetOrphans(places);
    }
    for (const std::string& id : empty) {
        records.remove(id);
    }
    return wanted;
}

RestoreResult restoreRecord(const ResetRecord& record, Trash& trash, const FileSystem& fs,
                            const Confinement& confinement,
                            const std::function<bool()>& stopRequested,
                            const std::function<bool(const std::string&)>& makeRoom) {
    RestoreResult result;
    FolderVerdicts folderInside;
    // Last moved first: an entry moved out of a folder that went later comes back into it.
    for (auto it = record.moved.rbegin(); it != record.moved.rend(); ++it) {
        const TrashedEntry& entry = *it;
        if (stopRequested && stopRequested()) {
            result.notTried.push_back(entry);
            continue;
        }
        if (!isPlaceConfined(fs, entry.original, confinement, folderInside)) {
            result.refused.push_back(entry);
            continue;
        }
        // A copy may replace the file it was taken from only while that is still the version
        // the reset left; anything written since is replaced as any other entry's place is.
        const bool replace = entry.leftInPlace && fs.stamp(entry.original) == entry.leftInPlace;
        const auto putBack = [&] {
            return trash.putBack(entry.trashed, entry.original, entry.identity,
                                 replace ? PutBackMode::ReplaceWhatIsThere
                                         : PutBackMode::KeepWhatIsThere);
        };
        PutBackOutcome outcome = putBack();
        if (outcome == PutBackOutcome::Occupied && makeRoom && makeRoom(entry.original)) {
            outcome = putBack();
        }
        switch (outcome) {
        case PutBackOutcome::Restored:
            result.restored.push_back(entry.original);
            break;
        case PutBackOutcome::Occupied:
            result.keptInTrash.push_back(entry);
            break;
        case PutBackOutcome::Gone:
            // Back already (put back by hand), or never moved: the run was stopped between its
            // journal line and the move, and the Trash's note about it is an orphan.
            if (hasStatOf(fs, entry.original, entry.identity)) {
                trash.release({entry.original, entry.trashed, entry.identity});
                result.alreadyBack.push_back(entry.original);
            } else {
                result.gone.push_back(entry.original);
            }
            break;
        case PutBackOutcome::NotOurs:
            result.notOurs.push_back(entry);
            break;
        case PutBackOutcome::Refused:
            result.refused.push_back(entry);
            break;
        case PutBackOutcome::Failed:
            result.failed.push_back(entry);
            break;
        }
    }
    trash.settle();
    result.removedForGood = record.removed;
    return result;
}

ResetEnding restoreEnding(const RestoreResult& result) {
    return result.interrupted ? ResetEnding::Interrupted
           : result.whole()   ? ResetEnding::Done
                              : ResetEnding::Partial;
}

RestoreResult restoreAndKeepRecord(ResetRecords& records, const RestorePlan& plan, Trash& trash,
                                   const FileSystem& fs, const UserFolders& folders, SystemLog* log,
                                   SettingsDatabase* settings) {
    const ResetRecord& record = plan.record;
    RestoreResult result;
    const Confinement confinement = Confinement::ofHome(fs, folders);
    if (confinement.empty()) {
        result.refused = record.moved;
        for (const SettingsDump& dump : record.settings) {
            result.settingsLeft.push_back({dump, "the home's folders cannot be used"});
        }
        return result;
    }
    Replacement replacement(records, plan, trash, fs, folders, log);
    {
        const InterruptionScope interruption;
        result = restoreRecord(
            record, trash, fs, confinement, [] { return InterruptionScope::requested(); },
            [&replacement](const std::string& place) { return replacement.makeRoom(place); });
        result.interrupted = InterruptionScope::requested();
        restoreSettingsOf(record, settings, replacement, result);
        result.interrupted = InterruptionScope::requested();
    }
    replacement.finish(result);
    // What may still be in the Trash stays recorded, so Restore can be pressed again.
    ResetRecord rest = applicationOf(record);
    rest.id = record.id;
    rest.time = record.time;
    rest.replacedByRestoring = record.replacedByRestoring;
    rest.moved = result.leftInTrash();
    for (const TrashedEntry& entry : rest.moved) {
        rest.planned.push_back(entry.original);
    }
    for (const RestoreResult::SettingsLeft& left : result.settingsLeft) {
        rest.settings.push_back(left.dump);
    }
    if (rest.moved.empty() && rest.settings.empty()) {
        records.remove(record.id);
    } else if (Status rewritten = records.rewrite(rest); !rewritten && log) {
        log->log("Could not rewrite the reset record " + record.id + ": " +
                 rewritten.error().reason);
    }
    return result;
}

std::string resetTimeText(std::int64_t time) {
    std::string day = timeText(time, "%d", false);
    if (day.starts_with('0')) {
        day.erase(0, 1);
    }
    return day + timeText(time, " %B %Y at %H:%M", false);
}

std::string restoreQuestionText(const ResetRecord& record) {
    const std::string what =
        record.replacedByRestoring.empty()
            ? "that were reset on "
            : "that were replaced by restoring " + record.replacedByRestoring + " on ";
    return "Put back the settings of " + record.applicationName + " " + what +
           resetTimeText(record.time) + "?";
}

std::string restorePlanText(const RestorePlan& plan) {
    // `paths` holds at least the first ones named of the `count` there are.
    const auto listed = [](const std::string& heading, const std::vector<std::string>& paths,
                           std::size_t count) {
        std::string text = heading + "\n";
        for (std::size_t i = 0; i < count && i < kMaxNamed; ++i) {
            text += paths[i] + "\n";
        }
        if (count > kMaxNamed) {
            text += andMore(count - kMaxNamed) + ".\n";
        }
        return text;
    };
    std::vector<std::string> comingBack;
    for (std::size_t i = 0; i < plan.comeBack.size() && i < kMaxNamed; ++i) {
        comingBack.push_back(plan.record.moved[plan.comeBack[i]].original);
    }
    std::string text;
    if (!plan.comeBack.empty()) {
        text = listed("These come back from the Trash:", comingBack, plan.comeBack.size());
    }
    if (!plan.replaced.empty()) {
        text += "\n" + listed(kWrittenSinceHeading, plan.replaced, plan.replaced.size());
    }
    if (!plan.record.settings.empty()) {
        std::vector<std::string> folders;
        for (const SettingsDump& dump : plan.record.settings) {
            folders.push_back(settingsFolderShown(dump.folder.path, dump.values.size()));
        }
        text += (text.empty() ? "" : "\n") + listed(kSettingsBackHeading, folders, folders.size());
    }
    if (!plan.settingsReplaced.empty()) {
        text += "\n" + listed(kSettingsWrittenSinceHeading, plan.settingsReplaced,
                              plan.settingsReplaced.size());
    }
    return text;
}

std::string restoreResultText(const ResetRecord& record, const RestoreResult& result) {
    std::string text;
    // A reset of settings alone moved no entry to speak of.
    if (!record.moved.empty() || !record.removed.empty() || record.settings.empty()) {
        text = plural(result.restored.size(), "entry", "entries") + " of " +
               record.applicationName + " came back.\n";
    }
    if (!result.alreadyBack.empty()) {
        text += plural(result.alreadyBack.size(), "entry was", "entries were") +
                " back in place already.\n";
    }
    if (!result.replaced.empty()) {
        text += plural(result.replaced.size(), "entry", "entries") +
                " written since went to the Trash first (" + result.replacement +
                "); Restore can put " + (result.replaced.size() == 1 ? "it" : "them") + " back.\n";
    }
    for (const std::string& folder : result.settingsRestored) {
        text += "The keys of " + folder + " were written back.\n";
    }
    if (!result.settingsReplaced.empty()) {
        text += "Keys written since in " +
                plural(result.settingsReplaced.size(), "folder", "folders") +
                " of the settings database were kept first (" + result.replacement +
                "); Restore can put them back.\n";
    }
    if (result.whole()) {
        return text;
    }
    std::vector<std::string> lines;
    for (const RestoreResult::SettingsLeft& left : result.settingsLeft) {
        lines.push_back(left.dump.folder.path + ": not written back, " + left.reason);
    }
    for (const TrashedEntry& entry : result.keptInTrash) {
        lines.push_back(entry.original +
                        ": written again since and not moved aside; the reset one stays in the "
                        "Trash (" +
                        entry.trashed + ")");
    }
    for (const TrashedEntry& entry : result.failed) {
        lines.push_back(entry.original + ": could not be moved back; it stays in the Trash (" +
                        entry.trashed + ")");
    }
    for (const TrashedEntry& entry : result.notOurs) {
        lines.push_back(entry.original + ": what lies at its place in the Trash (" + entry.trashed +
                        ") cannot be proven to be the reset one; it stays there");
    }
    for (const std::string& path : result.gone) {
        lines.push_back(path + ": no longer in the Trash");
    }
    for (const std::string& path : result.removedForGood) {
        lines.push_back(path + ": removed for good by the reset");
    }
    for (const TrashedEntry& entry : result.refused) {
        lines.push_back(entry.original + ": not put back, the record does not hold it safely");
    }
    for (const TrashedEntry& entry : result.notTried) {
        lines.push_back(entry.original +
                        ": not put back yet, Corvane was interrupted; it stays in "
                        "the Trash (" +
                        entry.trashed + ")");
    }
    text += "\nThese did not come back:\n";
    for (std::size_t i = 0; i < lines.size() && i < kMaxNamed; ++i) {
        text += lines[i] + "\n";
    }
    if (lines.size() > kMaxNamed) {
        text += andMore(lines.size() - kMaxNamed) + ".\n";
    }
    if (!result.leftInTrash().empty()) {
        text += "\nRestore can try again for what stays in the Trash.\n";
    } else if (!result.settingsLeft.empty()) {
        text += "\nRestore can try again: the record keeps those keys.\n";
    }
    return text;
}

} // namespace corvane
