#include "base/Directory.h"

#include "base/KillPoint.h"
#include "base/Paths.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

#ifdef __linux__
// The listing read straight into a buffer of our own: opendir's stream would cost a duplicate
// descriptor, a stat and two fcntl calls per folder, which a walk of thousands of folders feels.
bool forEachEntryIn(int fd, const std::function<bool(const FolderEntry&)>& visit) {
    constexpr std::size_t kBuffer = 32768;
    const std::unique_ptr<char[]> buffer(new char[kBuffer]);
    for (;;) {
        const ssize_t got = getdents64(fd, buffer.get(), kBuffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
            at += entry->d_reclen;
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            if (!visit({name, entry->d_type, fd})) {
                return true;
            }
        }
    }
}
#else
namespace {
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
} // namespace

bool forEachEntryIn(int fd, const std::function<bool(const FolderEntry&)>& visit) {
    const int own = dup(fd);
    DIR* dir = own >= 0 ? fdopendir(own) : nullptr;
    if (!dir) {
        const int error = errno;
        if (own >= 0) {
            close(own);
        }
        errno = error;
        return false;
    }
    const std::unique_ptr<DIR, DirCloser> closer(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (!visit({name, entry->d_type, fd})) {
            break;
        }
    }
    return true;
}
#endif

namespace {

// A clock read on every call about an entry: one that ticks every few milliseconds is enough to
// tell a pause of a second, and costs a fraction of a precise one.
std::int64_t coarseMilliseconds() {
    timespec now{};
#ifdef CLOCK_MONOTONIC_COARSE
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
#else
    clock_gettime(CLOCK_MONOTONIC, &now);
#endif
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace

int openFolderForListing(int at, const char* path, int flags) {
    flags |= O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#ifdef O_NOATIME
    // Allowed only on what the user owns; anything else is opened as usual.
    const int quiet = openat(at, path, flags | O_NOATIME);
    if (quiet >= 0 || errno != EPERM) {
        return quiet;
    }
#endif
    return openat(at, path, flags);
}

bool forEachEntry(const std::string& path, const std::function<bool(const FolderEntry&)>& visit) {
    const int fd = openFolderForListing(AT_FDCWD, path.c_str(), 0);
    if (fd < 0) {
        return false;
    }
    const bool listed = forEachEntryIn(fd, visit);
    const int error = errno;
    close(fd);
    errno = error;
    return listed;
}

bool makeFolders(const std::string& folder, mode_t mode) {
    if (isFolder(folder)) {
        return true;
    }
    if (folder.empty() || folder == "/" || !makeFolders(parentFolder(folder), mode)) {
        return false;
    }
    killPoint();
    return mkdir(folder.c_str(), mode) == 0 || (errno == EEXIST && isFolder(folder));
}

FolderHandle& FolderHandle::operator=(const FolderHandle& other) {
    if (this != &other) {
        close();
    }
    return *this;
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)),
      m_lastUse(other.m_lastUse) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_lastUse = other.m_lastUse;
    }
    return *this;
}

int FolderHandle::open(std::string_view path) {
    const std::int64_t now = coarseMilliseconds();
    if (m_fd < 0 || m_path != path || now - m_lastUse > 1000) {
        close();
        m_path = path;
        // Where the system has it, a handle that only names the folder: no read permission needed.
#ifdef O_PATH
        m_fd = ::open(m_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    }
    m_lastUse = now;
    return m_fd;
}

FolderHandle::At FolderHandle::at(const std::string& path) {
    const std::optional<FolderAndName> split = folderAndName(path);
    const int folder = split ? open(split->folder) : -1;
    return folder >= 0 ? At{folder, split->name.data()} : At{AT_FDCWD, path.c_str()};
}

void FolderHandle::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace corvane
