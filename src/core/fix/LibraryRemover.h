#pragma once

#include "core/fix/Confinement.h"
#include "core/fix/ResetRecord.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvane {

class FileSystem;
class SystemLog;
class Trash;

// Entries no Trash can take, found before anything moves, and why.
struct Untrashable {
    std::vector<std::string> paths;   // an entry inside one of them is not counted again
    std::vector<std::string> reasons; // each reason once, in the order met

    // The reasons in one line, as questions and messages name them.
    std::string reasonText() const;
    // "2 entries cannot be moved to the Trash (REASONS)".
    std::string sentence() const;
};

// Removes entries of the folders a reset takes from (see Confinement) one at a time: into the
// Trash, each move written to the reset's journal before it is made, or for good where no Trash can
// take the entry and the user agreed. It keeps track of what it was asked to remove, so the result
// can be checked.
class LibraryRemover {
public:
    using RunTool = std::function<std::optional<std::string>(const std::string& launchPath,
                                                             const std::vector<std::string>&)>;

    // `library` and `home` are the user's folders as located; none when they are unusable, in
    // which case nothing is removed.
    LibraryRemover(const FileSystem& fs, const std::optional<std::string>& library,
                   const std::optional<std::string>& home, RunTool runTool, SystemLog* log,
                   Trash* trash = nullptr);

    // The place each existing entry would be removed from (its parent folder resolved), in
    // order; entries that are gone, lie outside the Library or inside another of them (they go
    // with it) are left out.
    std::vector<std::string> targets(const std::vector<std::string>& paths) const;
    // The place one entry would be removed from; none when it lies outside the Library.
    std::optional<std::string> targetOf(const std::string& path) const {
        return removalTarget(path);
    }

    // The look ahead: which of the entries (as targets() gives them) no Trash can take. Those
    // are removed for good only after allowRemovalForGood(); until then they stay where they are.
    Untrashable findUntrashable(const std::vector<std::string>& targets);
    void allowRemovalForGood() { m_removeForGood = true; }

    // Every move and removal from now on is written to the journal first. Without one (no
    // Trash), nothing is written.
    void setJournal(ResetJournal* journal) { m_journal = journal; }

    // From now on nothing more is removed; the entries asked for stay, with this reason.
    void stop(const std::string& reason);
    bool stopped() const { return m_stopReason.has_value(); }

    // Moves the entry to the Trash, or removes it for good as allowed above, unless it is
    // already gone or does not lie inside a confinement root once its parent folder is resolved
    // (then it is skipped and logged). The entry itself is never followed: a symlink is removed
    // as a link.
    void remove(const std::string& path);

    // Moves the file to the Trash and puts a copy in its place, under the same confinement as
    // remove(). Its entry, none when nothing was kept.
    std::optional<TrashedEntry> keepCopy(const std::string& path);
    // Notes in the journal the version of a file whose copy keepCopy() put in the Trash.
    void noteLeftInPlace(const TrashedEntry& entry, const EntryStamp& stamp);

    // From now on trashed() lists what goes to the Trash; a reset of thousands of entries needs
    // only their number.
    void rememberTrashed() { m_rememberTrashed = true; }
    // What went to the Trash since rememberTrashed(), in order; how many went in all; and what
    // was removed for good.
    const std::vector<TrashedEntry>& trashed() const { return m_trashed; }
    std::size_t trashedCount() const { return m_trashedCount; }
    const std::vector<std::string>& removedForGood() const { return m_removedForGood; }

    // The entries that existed when handed to remove(), were not moved and still exist, in the
    // order first asked, each once.
    std::vector<std::string> remaining() const;
    // Why an entry that stayed was not removed, when known.
    std::optional<std::string> reasonLeft(const std::string& path) const;

    // How many times the removal tool was run.
    std::size_t toolRuns() const { return m_toolRuns; }

private:
    std::optional<std::string> removalTarget(const std::string& path) const;
    bool journal(const std::string& line);
    enum class MoveResult { Moved, Stayed, PlaceTaken };
    bool moveToTrash(const std::string& path, const std::string& target);
    MoveResult moveOnce(const std::string& path, const std::string& target);
    void request(const std::string& path);
    const TrashedEntry& lastTrashed() const;
    void removeForGood(const std::string& path, const std::string& target);
    void leave(const std::string& path, std::string reason);
    bool insideUntrashable(const std::string& target) const;

    const FileSystem& m_fs;
    Confinement m_confinement; // empty when removal is refused
    RunTool m_runTool;
    SystemLog* m_log;
    Trash* m_trash;
    ResetJournal* m_journal = nullptr;
    bool m_removeForGood = false;
    std::optional<std::string> m_stopReason;
    std::set<std::string> m_untrashable;
    std::vector<TrashedEntry> m_trashed;
    std::optional<TrashedEntry> m_lastTrashed;
    std::string m_line; // the journal line being written, its room kept between entries
    std::size_t m_trashedCount = 0;
    bool m_rememberTrashed = false;
    std::vector<std::string> m_removedForGood;
    std::vector<std::string> m_requested; // what may have stayed, to be looked at in the end
    std::map<std::string, std::string> m_reasons;
    // Parent folders resolved once per run: a reset of thousands of entries in a few folders
    // would otherwise resolve the same folders thousands of times.
    mutable std::unordered_map<std::string, std::optional<std::string>> m_resolvedParents;
    // The last one looked up: the entries of one folder come one after another.
    mutable std::optional<std::pair<std::string, std::optional<std::string>>> m_lastParent;
    std::size_t m_toolRuns = 0;
};

} // namespace corvane
