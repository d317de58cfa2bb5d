#include "base/Directory.h"

#include "base/KillPoint.h"
#include "base/Paths.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace corvane {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool listAll(DIR* opened, const std::function<bool(const FolderEntry&)>& visit) {
    const std::unique_ptr<DIR, DirCloser> dir(opened);
    const int fd = dirfd(opened);
    while (const dirent* entry = readdir(opened)) {
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

} // namespace

bool forEachEntryOf(int fd, const std::function<bool(const FolderEntry&)>& visit) {
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        close(fd);
        errno = error;
        return false;
    }
    return listAll(dir, visit);
}

bool forEachEntry(const std::string& path, const std::function<bool(const FolderEntry&)>& visit) {
    DIR* dir = opendir(path.c_str());
    return dir && listAll(dir, visit);
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
    const auto now = std::chrono::steady_clock::now();
    if (m_fd < 0 || m_path != path || now - m_lastUse > std::chrono::seconds(1)) {
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

void FolderHandle::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace corvane
