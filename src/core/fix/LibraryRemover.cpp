#include "core/fix/LibraryRemover.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"
#include "ports/Trash.h"

#include <algorithm>

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
    const std::string folder = slash == 0 ? std::string("/") : trimmed.substr(0, slash);
    auto cached = m_resolvedParents.find(folder);
    if (cached == m_resolvedParents.end()) {
        cached = m_resolvedParents.emplace(folder, m_fs.resolvedPath(folder)).first;
    }
    const std::optional<std::string>& parent = cached->second;
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

std::vector<std::string> LibraryRemover::targets(const std::vector<std::string>& paths) const {
    std::vector<std::string> all;
    for (const std::string& path : paths) {
        if (m_fs.entryExists(path)) {
            if (std::optional<std::string> target = removalTarget(path)) {
                all.push_back(std::move(*target));
            }
        }
    }
    const std::unordered_set<std::string> listed(all.begin(), all.end());
    const auto insideAnother = [&](const std::string& target) {
        for (std::size_t slash = target.rfind('/'); slash != std::string::npos && slash > 0;
             slash = target.rfind('/', slash - 1)) {
            if (listed.contains(target.substr(0, slash))) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> topmost;
    std::unordered_set<std::string> seen;
    for (std::string& target : all) {
        if (!insideAnother(target) && seen.insert(target).second) {
            topmost.push_back(std::move(target));
        }
    }
    return topmost;
}

bool LibraryRemover::insideUntrashable(const std::string& target) const {
    for (std::string folder = target; folder.size() > 1;) {
        if (m_untrashable.contains(folder)) {
            return true;
        }
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : slash);
    }
    return false;
}

std::string Untrashable::reasonText() const {
    std::string text;
    for (const std::string& reason : reasons) {
        text += (text.empty() ? "" : "; ") + reason;
    }
    return text;
}

Untrashable LibraryRemover::findUntrashable(const std::vector<std::string>& targets) {
    Untrashable found;
    for (const std::string& target : targets) {
        std::optional<std::string> reason =
            m_trash ? m_trash->unavailableReason(target) : std::string("there is no Trash");
        if (!reason) {
            continue;
        }
        found.paths.push_back(target);
        m_untrashable.insert(target);
        if (std::find(found.reasons.begin(), found.reasons.end(), *reason) == found.reasons.end()) {
            found.reasons.push_back(std::move(*reason));
        }
    }
    return found;
}

void LibraryRemover::stop(const std::string& reason) {
    if (!m_stopReason) {
        m_stopReason = reason;
    }
}

void LibraryRemover::leave(const std::string& path, std::string reason) {
    if (m_log) {
        m_log->log("Left " + path + " in place: " + reason);
    }
    m_reasons.emplace(path, std::move(reason));
}

bool LibraryRemover::journal(const std::string& line) {
    if (!m_journal) {
        return true;
    }
    Status written = m_journal->append(line);
    if (!written) {
        stop(written.error().reason);
    }
    return written.ok();
}

bool LibraryRemover::moveToTrash(const std::string& path, const std::string& target) {
    Result<TrashSlot> slot = m_trash->reserve(target);
    if (!slot) {
        if (m_fs.entryExists(target)) {
            leave(path, "it could not be moved to the Trash: " + slot.error().reason);
        }
        return false;
    }
    TrashedEntry entry{target, slot->trashed, slot->identity, std::nullopt};
    // Where the Trash names the place only after the move, the line follows the move.
    const bool lineFirst = !slot->trashed.empty();
    if (lineFirst && !journal(movedEntryLine(entry))) {
        m_trash->release(*slot);
        leave(path, *m_stopReason);
        return false;
    }
    Result<std::string> moved = m_trash->moveInto(*slot);
    if (!moved) {
        if (lineFirst) {
            journal(stayedLine(entry.trashed));
        }
        leave(path, "it could not be moved to the Trash: " + moved.error().reason);
        return false;
    }
    entry.trashed = std::move(*moved);
    // Restore knows the item by the stat taken now; the line written before the move holds the
    // one taken when its place was reserved, which a rename does not change on most systems.
    if (const std::optional<EntryStamp> after = m_fs.stamp(entry.trashed)) {
        EntryIdentity settled = entry.identity;
        settled.device = after->device;
        settled.inode = after->inode;
        settled.size = after->size;
        settled.modifiedNanoseconds = after->modifiedNanoseconds;
        if (lineFirst && settled != entry.identity) {
            journal(settledLine(entry.trashed, settled));
        }
        entry.identity = std::move(settled);
    }
    if (!lineFirst) {
        journal(movedEntryLine(entry));
    }
    m_trashed.push_back(std::move(entry));
    return true;
}

void LibraryRemover::removeForGood(const std::string& path, const std::string& target) {
    if (!journal(removedEntryLine(target))) {
        leave(path, *m_stopReason);
        return;
    }
    ++m_toolRuns;
    m_runTool(systemToolPath(Tool::Remove), {"-rf", target});
    if (!m_fs.entryExists(target)) {
        m_removedForGood.push_back(target);
    }
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
    if (m_stopReason) {
        leave(path, *m_stopReason);
        return;
    }
    if (m_trash && !insideUntrashable(*target)) {
        moveToTrash(path, *target);
        return;
    }
    if (!m_removeForGood) {
        leave(path, "it cannot be moved to the Trash, and removing it for good was not agreed");
        return;
    }
    removeForGood(path, *target);
}

std::optional<std::size_t> LibraryRemover::keepCopy(const std::string& path) {
    if (!m_trash || !m_fs.entryExists(path) || m_stopReason) {
        return std::nullopt;
    }
    const std::optional<std::string> target = removalTarget(path);
    if (!target || insideUntrashable(*target) || !moveToTrash(path, *target)) {
        return std::nullopt;
    }
    const TrashedEntry& entry = m_trashed.back();
    if (Status copied = m_trash->copyBack({entry.original, entry.trashed, entry.identity});
        !copied) {
        // The file stays in the Trash, where Restore finds it; nothing of it is lost.
        leave(path, "its copy could not be put back in place: " + copied.error().reason);
        return std::nullopt;
    }
    return m_trashed.size() - 1;
}

void LibraryRemover::noteLeftInPlace(std::size_t index, const EntryStamp& stamp) {
    TrashedEntry& entry = m_trashed.at(index);
    entry.leftInPlace = stamp;
    journal(leftInPlaceLine(entry.trashed, stamp));
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

std::optional<std::string> LibraryRemover::reasonLeft(const std::string& path) const {
    const auto found = m_reasons.find(path);
    return found == m_reasons.end() ? std::nullopt : std::optional(found->second);
}

} // namespace corvane
