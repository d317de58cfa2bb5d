#include "platform/host/HostFileSystem.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

struct Child {
    std::string name;
    bool isDirectory; // a real folder, never a symlink to one
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Lists a folder opened as `fd` (taking ownership of it) in walk order.
std::vector<Child> listFolder(int fd) {
    std::vector<Child> children;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return children;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isDirectory = fstatat(dirfd(dir.get()), name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISDIR(info.st_mode);
        }
        children.push_back({name, isDirectory});
    }
    std::sort(children.begin(), children.end(),
              [](const Child& a, const Child& b) { return walkOrderLess(a.name, b.name); });
    return children;
}

// Pre-order walk below the folder open as `fd`. Each sub-folder is opened relative to its
// parent with O_NOFOLLOW, so a symlink swapped in during the walk is never entered.
// Deeper folders are not entered: their paths could not be handed to a tool anyway, and the
// bound keeps open descriptors and the stack small on a hostile tree.
constexpr int kMaxDepth = 512;

bool walkFolder(int fd, std::string& relative, int depth,
                const std::function<bool(const std::string&)>& visit) {
    const int parentFd = dup(fd);
    const std::vector<Child> children = listFolder(fd);
    bool keepGoing = true;
    for (const Child& child : children) {
        const std::size_t mark = relative.size();
        if (!relative.empty()) {
            relative += '/';
        }
        relative += child.name;
        keepGoing = visit(relative);
        if (keepGoing && child.isDirectory && parentFd >= 0 && depth < kMaxDepth) {
            const int childFd = openat(parentFd, child.name.c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd >= 0) {
                keepGoing = walkFolder(childFd, relative, depth + 1, visit);
            }
        }
        relative.resize(mark);
        if (!keepGoing) {
            break;
        }
    }
    if (parentFd >= 0) {
        close(parentFd);
    }
    return keepGoing;
}

} // namespace

bool walkOrderLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int la = std::tolower(static_cast<unsigned char>(a[i]));
        const int lb = std::tolower(static_cast<unsigned char>(b[i]));
        if (la != lb) {
            return la < lb;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
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

std::optional<std::string> HostFileSystem::resolvedPath(const std::string& path) const {
    char buffer[PATH_MAX];
    if (path.empty() || realpath(path.c_str(), buffer) == nullptr) {
        return std::nullopt;
    }
    return std::string(buffer);
}

void HostFileSystem::walk(const std::string& root,
                          const std::function<bool(const std::string&)>& visit) const {
    // The root itself may be a symlink (the caller decides whether it may be walked).
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::string relative;
    walkFolder(fd, relative, 1, visit);
}

} // namespace corvane
