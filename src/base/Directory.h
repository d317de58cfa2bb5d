#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace corvane {

// One entry of a folder being listed.
struct FolderEntry {
    std::string_view name; // ends with a NUL: name.data() serves where a C string is wanted
    unsigned char type;    // the listing's d_type: DT_DIR, DT_REG, ...; DT_UNKNOWN where not told
    int folder;            // the listed folder, for calls relative to it (fstatat, readlinkat)
};

// Hands each entry of the folder open as `fd` but "." and ".." to `visit`, in the order the
// file system lists them, until `visit` returns false. `fd` stays open; a descriptor opened for
// this lists the folder whole. False (and errno set) when `fd` is not a folder that can be listed.
bool forEachEntryIn(int fd, const std::function<bool(const FolderEntry&)>& visit);

// Opens the folder at `path` (relative to the folder open as `at`, or AT_FDCWD) for listing with
// `flags` added to O_RDONLY | O_DIRECTORY | O_CLOEXEC. Where the system can, reading it does
// not mark it accessed: a search of the user's folders changes none of them. -1 on failure.
int openFolderForListing(int at, const char* path, int flags);

// The same for the folder at `path`.
bool forEachEntry(const std::string& path, const std::function<bool(const FolderEntry&)>& visit);

// A folder held open so that calls about its entries go by name (openat, renameat, fstatat)
// instead of walking its whole path each time. It is taken as the same folder only while it is
// in use: after a pause it is opened again from its path, so that a folder renamed away or
// replaced between two runs is not written into. A copy starts closed.
class FolderHandle {
public:
    FolderHandle() = default;
    FolderHandle(const FolderHandle&) {}
    FolderHandle& operator=(const FolderHandle& other);
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    ~FolderHandle() { close(); }

    // The descriptor of the folder at `path`, opened now unless it was opened from that path
    // and used within the last second; -1 when the folder cannot be opened.
    int open(std::string_view path);
    void close();

    // Where a call about the entry at `path` goes: its name inside its folder, held by this
    // handle as open() holds it; or AT_FDCWD and the whole path, for a path that is not plainly
    // absolute or a folder that does not open. The result points into `path`.
    struct At {
        int folder;
        const char* name;
    };
    At at(const std::string& path);

private:
    int m_fd = -1;
    std::string m_path;
    std::int64_t m_lastUse = 0; // milliseconds of a monotonic clock
};

// Makes `folder` and every missing folder above it with `mode`, each step a change to the disk
// that a test can stop at; true when `folder` is a folder then.
bool makeFolders(const std::string& folder, mode_t mode);

} // namespace corvane
