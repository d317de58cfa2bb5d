#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace corvane {

class FileSystem;
class SystemLog;

// Removes entries of the user's Library folder one at a time with the removal tool, and keeps
// track of what it was asked to remove so the result can be checked afterwards.
class LibraryRemover {
public:
    using RunTool = std::function<std::optional<std::string>(const std::string& launchPath,
                                                             const std::vector<std::string>&)>;

    // `library` and `home` are the user's folders as located; none when they are unusable, in
    // which case nothing is removed.
    LibraryRemover(const FileSystem& fs, const std::optional<std::string>& library,
                   const std::optional<std::string>& home, RunTool runTool, SystemLog* log);

    // Runs the removal tool on the entry unless it is already gone or does not lie inside the
    // Library folder once its parent folder is resolved (then it is skipped and logged). The
    // entry itself is never followed: a symlink is removed as a link.
    void remove(const std::string& path);

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
    std::vector<std::string> m_requested;
    std::unordered_set<std::string> m_seen;
    std::size_t m_toolRuns = 0;
};

} // namespace corvane
