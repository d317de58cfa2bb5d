#pragma once

#include "core/fix/Confinement.h"
#include "core/fix/ResetEnding.h"
#include "core/fix/ResetRecord.h"
#include "ports/Trash.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

class FileSystem;
class SettingsDatabase;
class SystemLog;
class Trash;

struct UserFolders;

// What putting back one reset achieved, entry by entry (original paths).
struct RestoreResult {
    // Moved back by this run.
    std::vector<std::string> restored;
    // The very item was at its place already (put back by hand, or its move never happened).
    std::vector<std::string> alreadyBack;
    // Written at a place since the reset: moved to the Trash under the record `replacement`
    // before the reset's entry came back.
    std::vector<std::string> replaced;
    std::string replacement;
    // Something was written at the place since and may not go; the reset's copy stays.
    std::vector<TrashedEntry> keptInTrash;
    // Nothing is in the Trash at its place any more.
    std::vector<std::string> gone;
    // Something is in the Trash at its place that cannot be proven to be what the reset moved;
    // it stays there, and so does the entry in the record.
    std::vector<TrashedEntry> notOurs;
    // Removed for good by the reset itself: no Trash took them.
    std::vector<std::string> removedForGood;
    // Entries the record should not have held: a place outside the confinement, or not in a
    // Trash.
    std::vector<TrashedEntry> refused;
    // The move back failed; worth another try later.
    std::vector<TrashedEntry> failed;
    // Not tried: the restore was interrupted first.
    std::vector<TrashedEntry> notTried;

    // Folders of the settings database written back to the record's keys.
    std::vector<std::string> settingsRestored;
    // Folders whose keys written since went to the record `replacement` before.
    std::vector<std::string> settingsReplaced;
    // Folders not written back, with why; their dumps stay in the record.
    struct SettingsLeft {
        SettingsDump dump;
        std::string reason;
    };
    std::vector<SettingsLeft> settingsLeft;

    // What stays in the record: everything that may still be in the Trash, in the reset's order.
    std::vector<TrashedEntry> leftInTrash() const;
    bool whole() const;

    // A signal (SIGINT, SIGTERM, SIGHUP) stopped the restore after the entry in hand.
    bool interrupted = false;
};

// A record as a restore would take it, found before the user is asked.
struct RestorePlan {
    // The record, with what its journal lost and the Trash's notes show added.
    ResetRecord record;
    // Where in `record.moved` the entries in the Trash are, in the order the reset moved them.
    std::vector<std::size_t> comeBack;
    // What was written since at their places and goes to the Trash first, each topmost once.
    std::vector<std::string> replaced;
    // Folders of the settings database with keys written since the reset, as the report lists
    // them; those keys go to that record too.
    std::vector<std::string> settingsReplaced;
    bool empty() const { return comeBack.empty() && record.settings.empty(); }
};

// The seconds within which a record's reset wrote its Trash notes.
TimeSpan resetSpan(const ResetRecord& record);

// The record's entries found in the Trash although its journal lost them: planned entries with
// no line whose Trash note names their place and a time within the reset's span.
std::vector<TrashedEntry> recoveredEntries(const ResetRecord& record, Trash& trash);

// How many of the record's entries are in the Trash and pass the identity rule.
std::size_t entriesInTrash(const ResetRecord& record, Trash& trash);
// True when at least one is.
bool hasSomethingToPutBack(const ResetRecord& record, Trash& trash);

// Made to be shown and acted upon at once: an entry counts as in the Trash when the item at
// its place there has its inode, size and time; the move back checks the rest.
// `settings` is read for the keys written since; none: the settings database is not there.
RestorePlan planRestore(ResetRecord record, Trash& trash, const FileSystem& fs,
                        const Confinement& confinement, SettingsDatabase* settings = nullptr);

// Which record a Restore without a name takes: the newest (of the identifier, when given) that
// has something to put back. Damaged records newer than it are named, not taken.
struct RestoreChoice {
    std::optional<ResetRecord> record;
    std::vector<DamagedRecord> skipped;
};
RestoreChoice newestRestorable(const ResetRecords& records,
                               const std::optional<std::string>& identifier, Trash& trash);

// Drops the records with nothing left in the Trash, and the Trash's notes of the records' places
// whose items are gone (a run stopped between a note and its move). The caller holds the lock.
void tidyRecords(ResetRecords& records, Trash& trash);
// The same, giving back the record `keep` as the tidying read it, which saves reading it again;
// none when it is damaged, missing or was dropped.
std::optional<ResetRecord> tidyRecords(ResetRecords& records, Trash& trash,
                                       const std::string& keep);

// Puts the record's entries back, the last moved first, each only into a place inside a root of
// the confinement (resolved), and only the very item the reset moved (see Trash::examine). A
// record is read from a file anyone with the user's rights can write, so nothing in it is taken
// on trust: a place outside those roots is never written. Where something was written at the place
// since, `makeRoom` is asked to move it out of the way; without it, or when it declines, the entry
// stays in the Trash. `stopRequested` is asked before each entry.
RestoreResult restoreRecord(const ResetRecord& record, Trash& trash, const FileSystem& fs,
                            const Confinement& confinement,
                            const std::function<bool()>& stopRequested = {},
                            const std::function<bool(const std::string&)>& makeRoom = {});

// How a restore that ran ended.
ResetEnding restoreEnding(const RestoreResult& result);

// Puts the plan's record back (see restoreRecord) with SIGINT, SIGTERM and SIGHUP stopping it
// after the entry in hand; what the plan names as replaced goes to the Trash first under a
// record of its own. Then writes back each folder of the settings database the record holds, the
// keys written since in it kept in that record first. Keeps the record for exactly what is still
// in the Trash or not written back, or drops it when nothing is. The caller holds the home's
// reset lock.
RestoreResult restoreAndKeepRecord(ResetRecords& records, const RestorePlan& plan, Trash& trash,
                                   const FileSystem& fs, const UserFolders& folders, SystemLog* log,
                                   SettingsDatabase* settings = nullptr);

// "7 December 2026 at 23:41" in local time.
std::string resetTimeText(std::int64_t time);

// The question asked before putting a reset back, what comes back and what goes to the Trash
// first, and the account given afterwards.
std::string restoreQuestionText(const ResetRecord& record);
std::string restorePlanText(const RestorePlan& plan);
// The heading above what was written since, in every face's plan.
inline constexpr const char* kWrittenSinceHeading = "These were written since and go to the Trash:";
inline constexpr const char* kSettingsBackHeading =
    "These folders of the settings database get the keys the reset took:";
inline constexpr const char* kSettingsWrittenSinceHeading =
    "Keys were written in these since; they are kept in a record of their own first:";
std::string restoreResultText(const ResetRecord& record, const RestoreResult& result);

} // namespace corvane
