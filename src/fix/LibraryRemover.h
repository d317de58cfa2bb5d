#pragma once

#include "fix/ResetRecord.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace corvane {

class FileSystem;
class SystemLog;
class Trash;

// The Library folder with every symlink resolved, when it lies inside the home (and is not the
// home itself); none otherwise: nothing is then removed from it or put back into it.
std::optional<std::string> usableLibraryFolder(const FileSystem& fs,
                                               const std::optional<std::string>& library,
                                               const std::optional<std::string>& home);

// Removes entries of the user's Library folder one at a time, into the Trash where it takes
// them and else with the removal tool, and keeps track of what it was asked to remove so the
// result can be checked afterwards.
class LibraryRemover {
public:
    using RunTool = std::function<std::optional<std::string>(const std::string& launchPath,
                                                             const std::vector<std::string>&)>;

    // `library` and `home` are the user's folders as located; none when they are unusable, in
    // which case nothing is removed.
    LibraryRemover(const FileSystem& fs, const std::optional<std::string>& library,
                   const std::optional<std::string>& home, RunTool runTool, SystemLog* log,
                   Trash* trash = nullptr);

    // Moves the entry to the Trash, or where that fails runs the removal tool on it, unless it
    // is already gone or does not lie inside the Library folder once its parent folder is
    // resolved (then it is skipped and logged). The entry itself is never followed: a symlink
    // is removed as a link.
    void remove(const std::string& path);

    // Puts a copy of the file in the Trash and leaves the file where it is, under the same
    // confinement as remove(). The index of its entry in trashed(), none when nothing was kept.
    std::optional<std::size_t> keepCopy(const std::string& path);

    // What went to the Trash, in order, and what was removed for good.
    const std::vector<TrashedEntry>& trashed() const { return m_trashed; }
    std::vector<TrashedEntry>& trashed() { return m_trashed; }
    const std::vector<std::string>& removedForGood() const { return m_removedForGood; }

    // The entries that existed when handed to remove() and still exist, in the order first
    // asked, each once.
    std::vector<std::string> remaining() const;

    // How many times the removal tool was run.
    std::size_t toolRuns() const { return m_toolRuns; }

private:
    std::optional<std::string> removalTarget(const std::string& path) const;

    const FileSystem& m_fs;
    std::optional<std::string> m_library; // resolved; none when removal is refused
    RunTool m_runTool;
    SystemLog* m_log;
    Trash* m_trash;
    std::vector<TrashedEntry> m_trashed;
    std::vector<std::string> m_removedForGood;
    std::vector<std::string> m_requested;
    std::unordered_set<std::string> m_seen;
    std::size_t m_toolRuns = 0;
};

} // namespace corvane
