#include "platform/host/HomeTrash.h"

#include "base/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// Makes `folder` and any missing folder above it with `mode`.
bool makeFolders(const std::string& folder, mode_t mode) {
    if (isFolder(folder)) {
        return true;
    }
    if (folder.empty() || folder == "/") {
        return false;
    }
    if (!makeFolders(parentOf(folder), mode)) {
        return false;
    }
    return mkdir(folder.c_str(), mode) == 0 || (errno == EEXIST && isFolder(folder));
}

// rename() that fails with EEXIST rather than replace what is at `to`.
int renameKeeping(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    // Some file systems do not know the flag; the check below then leaves a short window.
    if (errno != EINVAL) {
        return -1;
    }
#endif
    if (exists(to)) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}

} // namespace

std::optional<HomeTrash> HomeTrash::locate() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        return HomeTrash(withoutTrailingSlashes(dataHome));
    }
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        return std::nullopt;
    }
    const std::string base = withoutTrailingSlashes(home);
    return HomeTrash((base == "/" ? std::string() : base) + "/.local/share");
}

bool HomeTrash::makeDataHome() const {
    return makeFolders(m_dataHome, 0700);
}

bool HomeTrash::isTrashedPath(const std::string& path) const {
    const std::string prefix = filesFolder() + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const std::string name = path.substr(prefix.size());
    return name.find('/') == std::string::npos && name != "." && name != "..";
}

void HomeTrash::forgetTrashed(const std::string& filesFolder, const std::string& name) {
    const std::string info = parentOf(filesFolder) + "/info/" + name + ".trashinfo";
    unlink(info.c_str());
}

PutBackOutcome HomeTrash::putBack(const std::string& trashedPath, const std::string& originalPath,
                                  PutBackMode mode) const {
    if (!isTrashedPath(trashedPath) || originalPath.empty() || originalPath.front() != '/') {
        return PutBackOutcome::Refused;
    }
    if (!exists(trashedPath)) {
        return PutBackOutcome::Gone;
    }
    if (!makeFolders(parentOf(originalPath), 0777)) {
        return PutBackOutcome::Failed;
    }
    const int moved = mode == PutBackMode::ReplaceWhatIsThere
                          ? std::rename(trashedPath.c_str(), originalPath.c_str())
                          : renameKeeping(trashedPath, originalPath);
    if (moved != 0) {
        return errno == EEXIST || errno == ENOTEMPTY ? PutBackOutcome::Occupied
                                                     : PutBackOutcome::Failed;
    }
    forgetTrashed(filesFolder(), lastPathComponent(trashedPath));
    return PutBackOutcome::Restored;
}

} // namespace corvane
