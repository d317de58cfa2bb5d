#include "fix/LibraryRemover.h"

#include "base/Paths.h"
#include "base/UserFolders.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Services.h"
#include "platform/Trash.h"

namespace corvane {

std::optional<std::string> usableLibraryFolder(const FileSystem& fs,
                                               const std::optional<std::string>& library,
                                               const std::optional<std::string>& home) {
    if (!library || !home) {
        return std::nullopt;
    }
    // The same confinement as the search: a Library that leads out of the home (a symlink to
    // "/", say) is not removed from.
    return confinedLibrary(fs, UserFolders{*home, *library});
}

LibraryRemover::LibraryRemover(const FileSystem& fs, const std::optional<std::string>& library,
                               const std::optional<std::string>& home, RunTool runTool,
                               SystemLog* log, Trash* trash)
    : m_fs(fs), m_library(usableLibraryFolder(fs, library, home)), m_runTool(std::move(runTool)),
      m_log(log), m_trash(trash) {}

std::optional<std::string> LibraryRemover::removalTarget(const std::string& path) const {
    if (!m_library) {
        return std::nullopt;
    }
    const std::string trimmed = withoutTrailingSlashes(path);
    if (trimmed.empty() || trimmed.front() != '/') {
        return std::nullopt;
    }
    const std::size_t slash = trimmed.rfind('/');
    const std::string name = trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    const std::optional<std::string> parent =
        m_fs.resolvedPath(slash == 0 ? std::string("/") : trimmed.substr(0, slash));
    if (!parent) {
        return std::nullopt;
    }
    // Only the parent is resolved: the entry itself, when a symlink, is what gets removed.
    std::string target = appendPathComponent(*parent, name);
    if (target == *m_library || !isInsideFolder(target, *m_library)) {
        return std::nullopt;
    }
    return target;
}

void LibraryRemover::remove(const std::string& path) {
    // An entry inside a folder removed before it is gone already; running the tool changes
    // nothing then, and a deep folder would cost one process per entry.
    if (!m_fs.entryExists(path)) {
        return;
    }
    if (m_seen.insert(path).second) {
        m_requested.push_back(path);
    }
    const std::optional<std::string> target = removalTarget(path);
    if (!target) {
        if (m_log) {
            m_log->log("Not removing " + path + ": it does not lie inside the Library folder " +
                       m_library.value_or("(none usable)"));
        }
        return;
    }
    if (m_trash) {
        if (std::optional<std::string> trashed = m_trash->moveToTrash(*target)) {
            m_trashed.push_back({*target, std::move(*trashed), std::nullopt});
            return;
        }
        if (m_log) {
            m_log->log("Could not move " + *target + " to the Trash; removing it for good");
        }
    }
    ++m_toolRuns;
    m_runTool(toolPath(Tool::Remove), {"-rf", *target});
    if (!m_fs.entryExists(*target)) {
        m_removedForGood.push_back(*target);
    }
}

std::optional<std::size_t> LibraryRemover::keepCopy(const std::string& path) {
    if (!m_trash || !m_fs.entryExists(path)) {
        return std::nullopt;
    }
    const std::optional<std::string> target = removalTarget(path);
    if (!target) {
        return std::nullopt;
    }
    std::optional<std::string> trashed = m_trash->copyToTrash(*target);
    if (!trashed) {
        if (m_log) {
            m_log->log("Could not put a copy of " + *target + " in the Trash");
        }
        return std::nullopt;
    }
    m_trashed.push_back({*target, std::move(*trashed), std::nullopt});
    return m_trashed.size() - 1;
}

std::vector<std::string> LibraryRemover::remaining() const {
    std::vector<std::string> left;
    for (const std::string& path : m_requested) {
        if (m_fs.entryExists(path)) {
            left.push_back(path);
        }
    }
    return left;
}

} // namespace corvane
