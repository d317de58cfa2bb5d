#include "host/posix/HostWorkspace.h"

#include "base/Directory.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "ports/FileSystem.h"

#include <algorithm>
#include <sys/stat.h>
#include <variant>

namespace corvane {

namespace {

// An application bundle: a folder (or a link to one) with a Contents/Info.plist in it.
bool isBundle(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           lstat((path + "/Contents/Info.plist").c_str(), &info) == 0;
}

bool hasAppExtension(const std::string& name) {
    return name.size() > 4 && containsIgnoringCase(name.substr(name.size() - 4), ".app");
}

} // namespace

HostWorkspace::HostWorkspace(const FileSystem& fs) : m_fs(fs) {}

HostWorkspace::HostWorkspace(const FileSystem& fs, std::vector<std::string> folders)
    : m_fs(fs), m_folders(std::move(folders)) {}

std::vector<std::string> HostWorkspace::applicationFolders() const {
    if (!m_folders.empty()) {
        return m_folders;
    }
    std::vector<std::string> folders = {"/Applications", "/Applications/Utilities",
                                        "/System/Applications", "/System/Applications/Utilities",
                                        "/System/Library/CoreServices"};
    // The same homes as everywhere: an absolute one that is not "/" itself.
    const std::optional<std::string> home = m_fs.homeDirectory();
    if (home && home->size() > 1 && home->front() == '/' && withoutTrailingSlashes(*home) != "/") {
        folders.push_back(appendPathComponent(*home, "Applications"));
    }
    return folders;
}

std::optional<std::string> HostWorkspace::fullPathForApplication(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return std::nullopt;
    }
    const std::string bundleName = hasAppExtension(name) ? name : name + ".app";
    for (const std::string& folder : applicationFolders()) {
        const std::string candidate = appendPathComponent(folder, bundleName);
        if (isBundle(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<std::string> HostWorkspace::installedApplications() const {
    std::vector<std::string> found;
    for (const std::string& folder : applicationFolders()) {
        std::vector<std::string> names;
        forEachEntry(folder, [&](const FolderEntry& entry) {
            std::string name(entry.name);
            if (hasAppExtension(name) && isBundle(appendPathComponent(folder, name))) {
                names.push_back(std::move(name));
            }
            return true;
        });
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            found.push_back(appendPathComponent(folder, name));
        }
    }
    return found;
}

} // namespace corvane
