#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// What tells one version of a file from another: which file it is, its size and when it was last
// written.
struct EntryStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const EntryStamp&) const = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The user's home folder as the environment gives it, unchecked; none when unknown.
    virtual std::optional<std::string> homeDirectory() const = 0;

    // The environment's value of the variable ($XDG_CONFIG_HOME), unchecked; none when unset. A
    // stand-in that knows no environment leaves the folders they name at their defaults.
    virtual std::optional<std::string> environmentValue(const std::string& variable) const {
        (void)variable;
        return std::nullopt;
    }

    // True when a file or folder exists at the path (a symlink counts by its target).
    virtual bool fileExists(const std::string& path) const = 0;

    // True when anything, a dangling symlink included, exists at the path.
    virtual bool entryExists(const std::string& path) const = 0;

    // The stamp of the entry itself (a symlink is not followed); none when nothing is there.
    virtual std::optional<EntryStamp> stamp(const std::string& path) const = 0;

    // What stamp() and entryExists() give for each of many paths, in the order given. A host may
    // take the entries of one folder together, which costs less than a path at a time.
    virtual std::vector<std::optional<EntryStamp>>
    stamps(const std::vector<std::string_view>& paths) const {
        std::vector<std::optional<EntryStamp>> found;
        found.reserve(paths.size());
        for (const std::string_view path : paths) {
            found.push_back(stamp(std::string(path)));
        }
        return found;
    }
    virtual std::vector<bool> entriesExist(const std::vector<std::string_view>& paths) const {
        std::vector<bool> found;
        found.reserve(paths.size());
        for (const std::string_view path : paths) {
            found.push_back(entryExists(std::string(path)));
        }
        return found;
    }

    // The path with every symlink resolved, none when that fails.
    virtual std::optional<std::string> resolvedPath(const std::string& path) const = 0;

    enum class WalkResult { Walked, Missing, Unreadable };

    // Deep walk of `root`: calls `visit` with the path of every entry beneath it relative to
    // `root`, a sub-folder before its contents, siblings in a fixed order. Symlinks are listed
    // but never followed; unreadable sub-folders contribute nothing. `visit` returns false to
    // stop. The result says whether the root itself could be opened as a folder.
    virtual WalkResult
    walk(const std::string& root,
         const std::function<bool(const std::string& relativePath)>& visit) const = 0;
};

} // namespace corvane
