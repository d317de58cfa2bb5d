#pragma once

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
// file system lists them, until `visit` returns false. Takes over `fd` and closes it. False (and
// errno set) when `fd` is not a folder that can be listed.
bool forEachEntryOf(int fd, const std::function<bool(const FolderEntry&)>& visit);

// The same for the folder at `path`.
bool forEachEntry(const std::string& path, const std::function<bool(const FolderEntry&)>& visit);

// Makes `folder` and every missing folder above it with `mode`, each step a change to the disk
// that a test can stop at; true when `folder` is a folder then.
bool makeFolders(const std::string& folder, mode_t mode);

} // namespace corvane
