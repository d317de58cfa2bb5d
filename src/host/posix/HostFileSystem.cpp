#include "host/posix/HostFileSystem.h"

#include "base/Directory.h"
#include "base/Paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <span>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace corvane {

namespace {

// ASCII letters only: the order must not depend on the locale the program runs in.
inline unsigned char foldCase(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The names of one folder's entries, kept in one buffer with their case-folded copies beside
// them, so that listing and sorting a large folder costs no allocation per entry and no case
// folding per comparison.
struct Listing {
    struct Child {
        std::size_t offset; // into names and folded, each name followed by a NUL
        std::size_t length;
        // Eight bytes of the folded name from `common` on, the first in the highest byte and
        // zeros past its end: compared as numbers they order as the bytes do, since no name
        // holds a NUL.
        std::uint64_t head;
        bool isDirectory; // a real folder, never a symlink to one
    };
    std::string names;
    std::string folded;
    std::vector<Child> children;
    // How many leading bytes every folded name shares: a large folder's names often start alike
    // ("com.example.App."), and comparing from here skips them.
    std::size_t common = 0;

    std::string_view name(const Child& child) const {
        return {names.data() + child.offset, child.length};
    }
    std::string_view key(const Child& child) const {
        return {folded.data() + child.offset, child.length};
    }
};

// Lists a folder opened as `fd` (taking ownership of it) in walk order.
void listFolder(int fd, Listing& listing) {
    listing.names.clear();
    listing.folded.clear();
    listing.children.clear();
    listing.common = 0;
    forEachEntryIn(fd, [&listing](const FolderEntry& entry) {
        bool isDirectory = entry.type == DT_DIR;
        if (entry.type == DT_UNKNOWN) {
            struct stat info {};
            isDirectory =
                fstatat(entry.folder, entry.name.data(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(info.st_mode);
        }
        const std::size_t length = entry.name.size();
        listing.children.push_back({listing.names.size(), length, 0, isDirectory});
        listing.names.append(entry.name.data(), length + 1);
        const std::size_t from = listing.folded.size();
        listing.folded.append(entry.name.data(), length + 1);
        for (char& c : std::span(listing.folded).subspan(from)) {
            c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
        }
        return true;
    });
    if (!listing.children.empty()) {
        const std::string_view first = listing.key(listing.children.front());
        listing.common = first.size();
        for (const Listing::Child& child : listing.children) {
            const std::string_view key = listing.key(child);
            const std::size_t bound = std::min(listing.common, key.size());
            listing.common = static_cast<std::size_t>(
                std::mismatch(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(bound),
                              key.begin())
                    .first -
                first.begin());
        }
    }
    for (Listing::Child& child : listing.children) {
        const std::string_view rest = listing.key(child).substr(listing.common);
        child.head = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            const std::uint64_t byte = i < rest.size() ? static_cast<unsigned char>(rest[i]) : 0U;
            child.head = (child.head << 8) | byte;
        }
    }
    // Comparing the folded names as bytes gives the order of walkOrderLess: the first letter
    // that differs ignoring case, else the shorter name, else the exact bytes.
    std::sort(listing.children.begin(), listing.children.end(),
              [&listing](const Listing::Child& a, const Listing::Child& b) {
                  if (a.head != b.head) {
                      return a.head < b.head;
                  }
                  const int byKey = listing.key(a)
                                        .substr(listing.common)
                                        .compare(listing.key(b).substr(listing.common));
                  if (byKey != 0) {
                      return byKey < 0;
                  }
                  return listing.name(a) < listing.name(b);
              });
}

// Pre-order walk below the folder open as `fd`, which it closes. Each sub-folder is opened relative
// to its parent with O_NOFOLLOW, so a symlink swapped in during the walk is never entered. Deeper
// folders are not entered: their paths could not be handed to a tool anyway, and the bound keeps
// open descriptors and the stack small on a hostile tree.
constexpr int kMaxDepth = 512;

bool walkFolder(int fd, std::string& relative, int depth,
                const std::function<bool(const std::string&)>& visit) {
    Listing listing;
    listFolder(fd, listing);
    bool keepGoing = true;
    for (const Listing::Child& child : listing.children) {
        const std::size_t mark = relative.size();
        if (!relative.empty()) {
            relative += '/';
        }
        relative += listing.name(child);
        keepGoing = visit(relative);
        if (keepGoing && child.isDirectory && depth < kMaxDepth) {
            const int childFd = openFolderForListing(fd, listing.name(child).data(), O_NOFOLLOW);
            if (childFd >= 0) {
                keepGoing = walkFolder(childFd, relative, depth + 1, visit);
            }
        }
        relative.resize(mark);
        if (!keepGoing) {
            break;
        }
    }
    close(fd);
    return keepGoing;
}

} // namespace

bool walkOrderLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int la = foldCase(static_cast<unsigned char>(a[i]));
        const int lb = foldCase(static_cast<unsigned char>(b[i]));
        if (la != lb) {
            return la < lb;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

std::optional<std::string> HostFileSystem::environmentValue(const std::string& variable) const {
    if (const char* value = std::getenv(variable.c_str())) {
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> HostFileSystem::homeDirectory() const {
    if (const char* home = std::getenv("HOME")) {
        return std::string(home);
    }
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
        return std::string(entry->pw_dir);
    }
    return std::nullopt;
}

bool HostFileSystem::fileExists(const std::string& path) const {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool HostFileSystem::entryExists(const std::string& path) const {
    struct stat info {};
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

namespace {

EntryStamp stampOf(const struct stat& info) {
    return EntryStamp{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::uint64_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Below this many paths in one folder, a stat each costs less than listing the folder.
constexpr std::size_t kListedFrom = 32;

} // namespace

std::optional<EntryStamp> HostFileSystem::stamp(const std::string& path) const {
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return stampOf(info);
}

std::vector<std::optional<EntryStamp>>
HostFileSystem::stamps(const std::vector<std::string_view>& paths) const {
    std::vector<std::optional<EntryStamp>> found(paths.size());
    FolderHandle folder;
    std::string name;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::optional<FolderAndName> split = folderAndName(paths[i]);
        const int fd = split ? folder.open(split->folder) : -1;
        struct stat info {};
        if (fd >= 0) {
            name.assign(split->name);
            if (fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                found[i] = stampOf(info);
            }
        } else {
            found[i] = stamp(std::string(paths[i]));
        }
    }
    return found;
}

std::vector<bool> HostFileSystem::entriesExist(const std::vector<std::string_view>& paths) const {
    std::vector<bool> found(paths.size(), false);
    // Paths by folder, then by name: a folder asked about often is listed once.
    std::unordered_map<std::string_view,
                       std::unordered_map<std::string_view, std::vector<std::size_t>>>
        byFolder;
    std::vector<std::size_t> alone;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (const std::optional<FolderAndName> split = folderAndName(paths[i])) {
            byFolder[split->folder][split->name].push_back(i);
        } else {
            alone.push_back(i);
        }
    }
    std::vector<std::string_view> stamped;
    std::vector<std::size_t> stampedAt;
    for (auto& [folder, inFolder] : byFolder) {
        const auto& names = inFolder;
        if (names.size() >= kListedFrom &&
            forEachEntry(std::string(folder), [&names, &found](const FolderEntry& entry) {
                if (const auto wanted = names.find(entry.name); wanted != names.end()) {
                    for (const std::size_t i : wanted->second) {
                        found[i] = true;
                    }
                }
                return true;
            })) {
            continue;
        }
        for (const auto& [name, indices] : names) {
            for (const std::size_t i : indices) {
                stamped.push_back(paths[i]);
                stampedAt.push_back(i);
            }
        }
    }
    for (const std::size_t i : alone) {
        stamped.push_back(paths[i]);
        stampedAt.push_back(i);
    }
    const std::vector<std::optional<EntryStamp>> stamps = this->stamps(stamped);
    for (std::size_t k = 0; k < stamps.size(); ++k) {
        found[stampedAt[k]] = stamps[k].has_value();
    }
    return found;
}

std::optional<std::string> HostFileSystem::resolvedPath(const std::string& path) const {
    char buffer[PATH_MAX];
    if (path.empty() || realpath(path.c_str(), buffer) == nullptr) {
        return std::nullopt;
    }
    return std::string(buffer);
}

FileSystem::WalkResult
HostFileSystem::walk(const std::string& root,
                     const std::function<bool(const std::string&)>& visit) const {
    // The root itself may be a symlink (the caller decides whether it may be walked).
    const int fd = openFolderForListing(AT_FDCWD, root.c_str(), 0);
    if (fd < 0) {
        return errno == ENOENT ? WalkResult::Missing : WalkResult::Unreadable;
    }
    std::string relative;
    walkFolder(fd, relative, 1, visit);
    return WalkResult::Walked;
}

} // namespace corvane
