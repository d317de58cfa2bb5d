#include "core/fix/Restore.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/fix/Interruption.h"
#include "ports/FileSystem.h"
#include "ports/Services.h"
#include "ports/Trash.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unordered_map>

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

// The place lies beneath the Library, and so does the nearest folder above it that exists, once
// resolved: a folder swapped for a symlink cannot lead the entry out.
// Folders are resolved once per restore: thousands of entries share a few folders.
bool isPlaceInLibrary(const FileSystem& fs, const std::string& place, const std::string& library,
                      std::unordered_map<std::string, bool>& folderInside) {
    if (!isPlainAbsolute(place) || place == library || !isInsideFolder(place, library)) {
        return false;
    }
    const std::string parent = parentFolder(place);
    if (const auto known = folderInside.find(parent); known != folderInside.end()) {
        return known->second;
    }
    std::string folder = parent;
    while (folder != library && !fs.entryExists(folder)) {
        folder = parentFolder(folder);
    }
    const std::optional<std::string> resolved = fs.resolvedPath(folder);
    return folderInside[parent] = resolved && isInsideFolder(*resolved, library);
}

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::vector<TrashedEntry> RestoreResult::leftInTrash() const {
    std::vector<TrashedEntry> left;
    // Kept in reverse of the restore's order, which is the reset's order.
    for (const auto* list : {&notTried, &failed, &keptInTrash}) {
        left.insert(left.end(), list->rbegin(), list->rend());
    }
    return left;
}

bool RestoreResult::whole() const {
    return keptInTrash.empty() && gone.empty() && removedForGood.empty() && refused.empty() &&
           failed.empty() && notTried.empty();
}

std::size_t entriesInTrash(const ResetRecord& record, const FileSystem& fs) {
    return static_cast<std::size_t>(
        std::count_if(record.moved.begin(), record.moved.end(),
                      [&fs](const TrashedEntry& entry) { return fs.entryExists(entry.trashed); }));
}

bool hasSomethingToPutBack(const ResetRecord& record, const FileSystem& fs) {
    for (const TrashedEntry& entry : record.moved) {
        if (fs.entryExists(entry.trashed)) {
            return true;
        }
    }
    return false;
}

RestoreResult restoreRecord(const ResetRecord& record, Trash& trash, const FileSystem& fs,
                            const std::string& library,
                            const std::function<bool()>& stopRequested) {
    RestoreResult result;
    std::unordered_map<std::string, bool> folderInside;
    // Last moved first: an entry moved out of a folder that went later comes back into it.
    for (auto it = record.moved.rbegin(); it != record.moved.rend(); ++it) {
        const TrashedEntry& entry = *it;
        if (stopRequested && stopRequested()) {
            result.notTried.push_back(entry);
            continue;
        }
        if (!isPlaceInLibrary(fs, entry.original, library, folderInside)) {
            result.refused.push_back(entry.original);
            continue;
        }
        // A copy may replace the file it was taken from only while that is still the version
        // the reset left; anything written since stays.
        const bool replace = entry.leftInPlace && fs.stamp(entry.original) == entry.leftInPlace;
        PutBackOutcome outcome =
            trash.putBack(entry.trashed, entry.original, entry.identity,
                          replace ? PutBackMode::ReplaceWhatIsThere : PutBackMode::KeepWhatIsThere);
        if (outcome == PutBackOutcome::Gone) {
            // Back already (put back by hand), or never moved: the reset was stopped between
            // its journal line and the move, and the Trash's note about it is an orphan.
            const std::optional<EntryStamp> there = fs.stamp(entry.original);
            if (there && EntryIdentity{there->device, there->inode} == entry.identity) {
                trash.release({entry.original, entry.trashed, entry.identity});
                outcome = PutBackOutcome::Restored;
            }
        }
        switch (outcome) {
        case PutBackOutcome::Restored:
            result.restored.push_back(entry.original);
            break;
        case PutBackOutcome::Occupied:
            result.keptInTrash.push_back(entry);
            break;
        case PutBackOutcome::Gone:
            result.gone.push_back(entry.original);
            break;
        case PutBackOutcome::Refused:
            result.refused.push_back(entry.original);
            break;
        case PutBackOutcome::Failed:
            result.failed.push_back(entry);
            break;
        }
    }
    if (result.notTried.empty()) {
        trash.forgetOrphans(record.planned);
    }
    result.removedForGood = record.removed;
    return result;
}

ResetEnding restoreEnding(const RestoreResult& result) {
    return result.interrupted ? ResetEnding::Interrupted
           : result.whole()   ? ResetEnding::Done
                              : ResetEnding::Partial;
}

std::optional<ResetRecord> restorableRecord(const LatestRecord& latest, const FileSystem& fs) {
    const ResetRecord* record = std::get_if<ResetRecord>(&latest);
    if (record && hasSomethingToPutBack(*record, fs)) {
        return *record;
    }
    return std::nullopt;
}

RestoreResult restoreAndKeepRecord(ResetRecords& records, const ResetRecord& record, Trash& trash,
                                   const FileSystem& fs, const std::string& library,
                                   SystemLog* log) {
    RestoreResult result;
    {
        const InterruptionScope interruption;
        result = restoreRecord(record, trash, fs, library,
                               [] { return InterruptionScope::requested(); });
        result.interrupted = InterruptionScope::requested();
    }
    // What is still in the Trash stays recorded, so Restore can be pressed again.
    ResetRecord rest = record;
    rest.moved = result.leftInTrash();
    rest.removed.clear();
    if (rest.moved.empty()) {
        records.remove(record.id);
    } else if (Status rewritten = records.rewrite(rest); !rewritten && log) {
        log->log("Could not rewrite the reset record " + record.id + ": " +
                 rewritten.error().reason);
    }
    return result;
}

std::string resetTimeText(std::int64_t time) {
    static constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                              "May",       "June",     "July",     "August",
                                              "September", "October",  "November", "December"};
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char clock[8];
    std::snprintf(clock, sizeof clock, "%02d:%02d", local.tm_hour, local.tm_min);
    return std::to_string(local.tm_mday) + " " + kMonths[local.tm_mon] + " " +
           std::to_string(local.tm_year + 1900) + " at " + clock;
}

std::string restoreQuestionText(const ResetRecord& record) {
    return "Put back the settings of " + record.applicationName + " that were reset on " +
           resetTimeText(record.time) + "?";
}

std::string restoreResultText(const ResetRecord& record, const RestoreResult& result) {
    std::string text = plural(result.restored.size(), "entry", "entries") + " of " +
                       record.applicationName + " came back.\n";
    if (result.whole()) {
        return text;
    }
    std::vector<std::string> lines;
    for (const TrashedEntry& entry : result.keptInTrash) {
        lines.push_back(entry.original +
                        ": written again since; the reset one stays in the Trash (" +
                        entry.trashed + ")");
    }
    for (const TrashedEntry& entry : result.failed) {
        lines.push_back(entry.original + ": could not be moved back; it stays in the Trash (" +
                        entry.trashed + ")");
    }
    for (const std::string& path : result.gone) {
        lines.push_back(path + ": no longer in the Trash");
    }
    for (const std::string& path : result.removedForGood) {
        lines.push_back(path + ": removed for good by the reset");
    }
    for (const std::string& path : result.refused) {
        lines.push_back(path + ": not put back, the record does not hold it safely");
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
        text += "...and " + std::to_string(lines.size() - kMaxNamed) + " more.\n";
    }
    if (!result.leftInTrash().empty()) {
        text += "\nRestore can try again for what stays in the Trash.\n";
    }
    return text;
}

} // namespace corvane
