#pragma once

#include "core/fix/ResetEnding.h"
#include "core/fix/ResetRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

class FileSystem;
class SystemLog;
class Trash;

// What putting back one reset achieved, entry by entry (original paths).
struct RestoreResult {
    std::vector<std::string> restored;
    // Something was written at the place since; the reset's copy stays in the Trash.
    std::vector<TrashedEntry> keptInTrash;
    // No longer in the Trash: gone, or another item in its place.
    std::vector<std::string> gone;
    // Removed for good by the reset itself: no Trash took them.
    std::vector<std::string> removedForGood;
    // Entries the record should not have held: outside the Library or not in the Trash.
    std::vector<std::string> refused;
    // The move back failed; worth another try later.
    std::vector<TrashedEntry> failed;
    // Not tried: the restore was interrupted first.
    std::vector<TrashedEntry> notTried;

    // What is still in the Trash and worth another try, in the order the reset moved it.
    std::vector<TrashedEntry> leftInTrash() const;
    bool whole() const;

    // A signal (SIGINT, SIGTERM, SIGHUP) stopped the restore after the entry in hand.
    bool interrupted = false;
};

// True when at least one entry of the record still lies at its place in the Trash.
bool hasSomethingToPutBack(const ResetRecord& record, const FileSystem& fs);
// How many of the record's entries still lie at their place in the Trash.
std::size_t entriesInTrash(const ResetRecord& record, const FileSystem& fs);

// Puts the record's entries back, the last moved first, each only into a free place inside
// `library` (resolved), and only the very item the reset moved. A record is read from a file
// anyone with the user's rights can write, so nothing in it is taken on trust: the Trash gives
// back only an item it holds as trashed from that place, of the recorded identity, and a place
// outside the Library is never written. An entry already back in its place counts as restored;
// one whose move never happened (a reset stopped half-way) loses the Trash's note about it.
// `stopRequested` is asked before each entry.
RestoreResult restoreRecord(const ResetRecord& record, Trash& trash, const FileSystem& fs,
                            const std::string& library,
                            const std::function<bool()>& stopRequested = {});

// How a restore that ran ended.
ResetEnding restoreEnding(const RestoreResult& result);

// The record, when it has something in the Trash to put back.
std::optional<ResetRecord> restorableRecord(const LatestRecord& latest, const FileSystem& fs);

// Puts the record's entries back (see restoreRecord) with SIGINT, SIGTERM and SIGHUP stopping it
// after the entry in hand, then keeps the record for exactly what is still in the Trash, or
// drops it when nothing is. The caller holds the home's reset lock.
RestoreResult restoreAndKeepRecord(ResetRecords& records, const ResetRecord& record, Trash& trash,
                                   const FileSystem& fs, const std::string& library,
                                   SystemLog* log);

// "7 December 2026 at 23:41" in local time.
std::string resetTimeText(std::int64_t time);

// The question asked before putting a reset back, and the account given afterwards.
std::string restoreQuestionText(const ResetRecord& record);
std::string restoreResultText(const ResetRecord& record, const RestoreResult& result);

} // namespace corvane
