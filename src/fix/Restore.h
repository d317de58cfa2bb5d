#pragma once

#include "fix/ResetRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class FileSystem;
class Trash;

// What putting back one reset achieved, entry by entry (original paths).
struct RestoreResult {
    std::vector<std::string> restored;
    // Something was written at the place since; the reset's copy stays in the Trash.
    std::vector<TrashedEntry> keptInTrash;
    // No longer in the Trash.
    std::vector<std::string> gone;
    // Removed for good by the reset itself: no Trash took them.
    std::vector<std::string> removedForGood;
    // Entries the record should not have held: outside the Library or not in the Trash.
    std::vector<std::string> refused;
    // The move back failed; worth another try later.
    std::vector<TrashedEntry> failed;
};

// True when at least one entry of the record still lies at its place in the Trash.
bool hasSomethingToPutBack(const ResetRecord& record, const FileSystem& fs);

// Puts the record's entries back, the last moved first, each only into a free place inside
// `library` (resolved). A record is read from a file anyone with the user's rights can write, so
// nothing in it is taken on trust: the Trash refuses what it does not hold, and a place outside
// the Library is never written.
RestoreResult restoreRecord(const ResetRecord& record, Trash& trash, const FileSystem& fs,
                            const std::string& library);

// "7 December 2026 at 23:41" in local time.
std::string resetTimeText(std::int64_t time);

// The question asked before putting a reset back, and the account given afterwards.
std::string restoreQuestionText(const ResetRecord& record);
std::string restoreResultText(const ResetRecord& record, const RestoreResult& result);

} // namespace corvane
