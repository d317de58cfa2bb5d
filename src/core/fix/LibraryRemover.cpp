#include "core/fix/LibraryRemover.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "core/UserFolders.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"
#include "ports/Trash.h"

#include <algorithm>
#include <cerrno>

namespace corvane {

LibraryRemover::LibraryRemover(const FileSystem& fs, const std::optional<std::string>& library,
                               const std::optional<std::string>& home, RunTool runTool,
                               SystemLog* log, Trash* trash)
    : m_fs(fs),
      m_confinement(library && home ? Confinement::ofHome(fs, UserFolders{*home, *library})
                                    : Confinement()),
      m_runTool(std::move(runTool)), m_log(log), m_trash(trash) {}

std::optional<std::string> LibraryRemover::removalTarget(const std::string& path) const {
    if (m_confinement.empty()) {
        return std::nullopt;
    }
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    if (trimmed.empty() || trimmed.front() != '/') {
        return std::nullopt;
    }
    const std::size_t slash = lastSlash(trimmed);
    const std::string_view name = trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    const std::string_view folder = slash == 0 ? std::string_view("/") : trimmed.substr(0, slash);
    if (!m_lastParent || m_lastParent->first != folder) {
        const std::string key(folder);
        auto cached = m_resolvedParents.find(key);
        if (cached == m_resolvedParents.end()) {
            cached = m_resolvedParents.emplace(key, m_fs.resolvedPath(key)).first;
        }
        m_lastParent = *cached;
    }
    const std::optional<std::string>& parent = m_lastParent->second;
    if (!parent) {
        return std::nullopt;
    }
    // Only the parent is resolved: the entry itself, when a symlink, is what gets removed.
    std::string target;
    if (parent->empty()) {
        target = name;
    } else {
        target.reserve(parent->size() + 1 + name.size());
        target = *parent;
        while (target.size() > 1 && target.back() == '/') {
            target.pop_back();
        }
        if (target != "/") {
            target += '/';
        }
        target += name;
    }
    if (!m_confinement.rootOf(target)) {
        return std::nullopt;
    }
    return target;
}

std::vector<std::string> LibraryRemover::targets(const std::vector<std::string>& paths) const {
    // The list was just made from a walk of the disk; an entry gone since is passed over when
    // its turn comes, so nothing here needs a stat.
    std::vector<std::string> all;
    all.reserve(paths.size());
    for (const std::string& path : paths) {
        if (std::optional<std::string> target = removalTarget(path)) {
            all.push_back(std::move(*target));
        }
    }
    // One set serves both questions: whether a folder is listed, and whether an entry was
    // listed before (only its first time is kept). A reset may list 100,000 entries.
    std::vector<bool> dropped(all.size(), false);
    {
        std::unordered_set<std::string_view> listed;
        listed.reserve(all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            dropped[i] = !listed.insert(all[i]).second;
        }
        // Whether the folder or one above it is listed, for the last folder asked about: the
        // entries of one folder come one after another.
        std::string_view lastFolder;
        bool lastFolderInside = false;
        const auto insideAnother = [&](std::string_view target) {
            const std::size_t end = target.rfind('/');
            if (end == std::string::npos || end == 0) {
                return false;
            }
            const std::string_view folder = target.substr(0, end);
            if (folder != lastFolder) {
                lastFolder = folder;
                lastFolderInside = false;
                for (std::size_t slash = end; slash != std::string::npos && slash > 0;
                     slash = target.rfind('/', slash - 1)) {
                    if (listed.contains(target.substr(0, slash))) {
                        lastFolderInside = true;
                        break;
                    }
                }
            }
            return lastFolderInside;
        };
        for (std::size_t i = 0; i < all.size(); ++i) {
            dropped[i] = dropped[i] || insideAnother(all[i]);
        }
    }
    // The set held views into the list: only now are the kept entries moved up in it.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!dropped[i]) {
            if (kept != i) {
                all[kept] = std::move(all[i]);
            }
            ++kept;
        }
    }
    all.resize(kept);
    return all;
}

bool LibraryRemover::insideUntrashable(const std::string& target) const {
    if (m_untrashable.empty()) {
        return false;
    }
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

std::string Untrashable::sentence() const {
    return plural(paths.size(), "entry", "entries") + " cannot be moved to the Trash (" +
           reasonText() + ")";
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
    // A place in the Trash taken by an item without an info file is only found by the move;
    // the next place is tried then.
    constexpr int kTries = 8;
    for (int attempt = 1;; ++attempt) {
        const MoveResult moved = moveOnce(path, target);
        if (moved != MoveResult::PlaceTaken || attempt == kTries) {
            return moved == MoveResult::Moved;
        }
    }
}

LibraryRemover::MoveResult LibraryRemover::moveOnce(const std::string& path,
                                                    const std::string& target) {
    Result<TrashSlot> slot = m_trash->reserve(target);
    if (!slot) {
        // Gone already (it lay inside a folder that went before it): nothing to do.
        if (slot.error().code != ENOENT) {
            request(path);
            leave(path, "it could not be moved to the Trash: " + slot.error().reason);
        }
        return MoveResult::Stayed;
    }
    // What moved is not requested: only what may have stayed is looked at in the end.
    // Where the Trash names the place only after the move, the line follows the move.
    const bool lineFirst = !slot->trashed.empty();
    if (lineFirst) {
        writeMovedEntryLine(m_line, slot->identity, target, slot->trashed);
        if (!journal(m_line)) {
            request(path);
            m_trash->release(*slot);
            leave(path, *m_stopReason);
            return MoveResult::Stayed;
        }
    }
    Result<std::string> moved = m_trash->moveInto(*slot);
    if (!moved) {
        request(path);
        if (lineFirst) {
            journal(stayedLine(slot->trashed));
        }
        if (moved.error().code == EEXIST) {
            return MoveResult::PlaceTaken;
        }
        leave(path, "it could not be moved to the Trash: " + moved.error().reason);
        return MoveResult::Stayed;
    }
    // The last entry's strings are written over in place: a reset may move 100,000 entries.
    TrashedEntry& entry = m_rememberTrashed ? m_trashed.emplace_back()
                          : m_lastTrashed   ? *m_lastTrashed
                                            : m_lastTrashed.emplace();
    entry.original.assign(target);
    entry.trashed.swap(*moved);
    entry.identity = std::move(slot->identity);
    entry.leftInPlace.reset();
    // Restore knows the item by its stat after the move. A rename keeps a file's or a link's
    // size and time, so the stat the reservation took stands; a folder is looked at again.
    if (const std::optional<EntryStamp> after =
            slot->folder ? m_fs.stamp(entry.trashed) : std::nullopt) {
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
        writeMovedEntryLine(m_line, entry.identity, entry.original, entry.trashed);
        journal(m_line);
    }
    ++m_trashedCount;
    return MoveResult::Moved;
}

void LibraryRemover::request(const std::string& path) {
    m_requested.push_back(path);
}

void LibraryRemover::removeForGood(const std::string& path, const std::string& target) {
    request(path);
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
    const std::optional<std::string> target = removalTarget(path);
    const bool toTrash = target && !m_stopReason && m_trash && !insideUntrashable(*target);
    // An entry inside a folder removed before it is gone already; running the tool changes
    // nothing then, and a deep folder would cost one process per entry. A move to the Trash
    // finds that out with the one stat it takes anyway.
    if (!toTrash && !m_fs.entryExists(path)) {
        return;
    }
    if (!target) {
        request(path);
        if (m_log) {
            m_log->log(
                "Not removing " + path +
                ": it does not lie inside a folder Corvane resets: " + m_confinement.listed());
        }
        return;
    }
    if (m_stopReason) {
        request(path);
        leave(path, *m_stopReason);
        return;
    }
    if (toTrash) {
        moveToTrash(path, *target);
        return;
    }
    if (!m_removeForGood) {
        request(path);
        leave(path, "it cannot be moved to the Trash, and removing it for good was not agreed");
        return;
    }
    removeForGood(path, *target);
}

std::optional<TrashedEntry> LibraryRemover::keepCopy(const std::string& path) {
    if (!m_trash || !m_fs.entryExists(path) || m_stopReason) {
        return std::nullopt;
    }
    const std::optional<std::string> target = removalTarget(path);
    if (!target || insideUntrashable(*target) || !moveToTrash(path, *target)) {
        return std::nullopt;
    }
    const TrashedEntry& entry = lastTrashed();
    if (Status copied = m_trash->copyBack({entry.original, entry.trashed, entry.identity});
        !copied) {
        // The file stays in the Trash, where Restore finds it; nothing of it is lost.
        request(path);
        leave(path, "its copy could not be put back in place: " + copied.error().reason);
        return std::nullopt;
    }
    return entry;
}

void LibraryRemover::noteLeftInPlace(const TrashedEntry& entry, const EntryStamp& stamp) {
    journal(leftInPlaceLine(entry.trashed, stamp));
}

const TrashedEntry& LibraryRemover::lastTrashed() const {
    return m_rememberTrashed ? m_trashed.back() : *m_lastTrashed;
}

std::vector<std::string> LibraryRemover::remaining() const {
    std::vector<std::string> left;
    std::unordered_set<std::string_view> seen;
    for (const std::string& path : m_requested) {
        if (seen.insert(path).second && m_fs.entryExists(path)) {
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
