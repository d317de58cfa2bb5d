#include "core/UserFolders.h"

#include "base/Paths.h"
#include "ports/FileSystem.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

std::variant<UserFolders, std::string> locateUserFolders(const FileSystem& fs) {
    const std::optional<std::string> home = fs.homeDirectory();
    if (!home || home->empty()) {
        return std::string("Corvane can't find your home folder, so it can't look for "
                           "settings to remove. Set HOME to your home folder and start "
                           "Corvane again.");
    }
    const std::string trimmed = withoutTrailingSlashes(*home);
    // "/.", "/tmp/.." or a link to "/" name the root as surely as "/" does.
    if (trimmed.front() != '/' || trimmed == "/" || fs.resolvedPath(trimmed) == "/") {
        return "Corvane can't use \"" + *home +
               "\" as your home folder: it must be a full path to a folder other than \"/\". "
               "Set HOME to your home folder and start Corvane again.";
    }
    // Looked at without walking it: the walk stops before its first entry.
    const FileSystem::WalkResult opened =
        fs.walk(trimmed, [](const std::string&) { return false; });
    if (opened != FileSystem::WalkResult::Walked) {
        return "Corvane can't use \"" + *home + "\" as your home folder: " +
               (opened == FileSystem::WalkResult::Missing ? "there is nothing there"
                                                          : "it is not a folder it can open") +
               ". Set HOME to your home folder and start Corvane again.";
    }
    return UserFolders{trimmed, appendPathComponent(trimmed, "Library")};
}

std::optional<std::string> foreignHomeRefusal(const std::string& home, const std::string& subject,
                                              const std::string& example) {
    struct stat info {};
    if (geteuid() != 0 || stat(home.c_str(), &info) != 0 || info.st_uid == 0) {
        return std::nullopt;
    }
    std::string owner = "#" + std::to_string(info.st_uid);
    std::string ownerWords = "uid " + std::to_string(info.st_uid);
    if (const passwd* entry = getpwuid(info.st_uid); entry && entry->pw_name) {
        owner = entry->pw_name;
        ownerWords = owner;
    }
    return "HOME (" + home + ") belongs to " + ownerWords + "; run " + subject + " as " +
           ownerWords + ", e.g. sudo -u " + owner + " " + example;
}

namespace {
bool isStrictlyInside(const std::string& path, const std::string& folder) {
    return path != folder && isInsideFolder(path, folder);
}
} // namespace

std::string baseFolder(const FileSystem& fs, const std::string& home, BaseFolder which) {
    const char* variable = "XDG_CONFIG_HOME";
    const char* fallback = ".config";
    switch (which) {
    case BaseFolder::Config:
        break;
    case BaseFolder::State:
        variable = "XDG_STATE_HOME";
        fallback = ".local/state";
        break;
    case BaseFolder::Cache:
        variable = "XDG_CACHE_HOME";
        fallback = ".cache";
        break;
    }
    // A relative value is no base folder: it counts as unset.
    if (const std::optional<std::string> set = fs.environmentValue(variable);
        set && !set->empty() && set->front() == '/') {
        return withoutTrailingSlashes(*set);
    }
    return appendPathComponent(home, fallback);
}

std::optional<std::string> confinedFolder(const FileSystem& fs, const std::string& home,
                                          const std::string& folder) {
    const std::optional<std::string> resolvedHome = fs.resolvedPath(home);
    if (!resolvedHome || folder.empty() || folder.front() != '/') {
        return std::nullopt;
    }
    std::string existing = withoutTrailingSlashes(folder);
    std::string rest;
    while (existing != "/" && !fs.entryExists(existing)) {
        const std::string name = lastPathComponent(existing);
        if (name == "." || name == "..") {
            return std::nullopt;
        }
        rest = rest.empty() ? name : appendPathComponent(name, rest);
        existing = parentFolder(existing);
    }
    std::optional<std::string> resolved = fs.resolvedPath(existing);
    if (!resolved) {
        return std::nullopt;
    }
    if (!rest.empty()) {
        resolved = appendPathComponent(*resolved, rest);
    }
    if (!isStrictlyInside(*resolved, *resolvedHome)) {
        return std::nullopt;
    }
    return resolved;
}

std::optional<std::string> confinedLibrary(const FileSystem& fs, const UserFolders& folders) {
    std::optional<std::string> library = fs.resolvedPath(folders.library);
    const std::optional<std::string> home = fs.resolvedPath(folders.home);
    if (!library || !home || !isStrictlyInside(*library, *home)) {
        return std::nullopt;
    }
    return library;
}

SearchFolderPlace searchFolderPlace(const FileSystem& fs, const UserFolders& folders,
                                    const std::string& folder) {
    if (!fs.entryExists(folder)) {
        return SearchFolderPlace::Missing;
    }
    const std::optional<std::string> library = confinedLibrary(fs, folders);
    const std::optional<std::string> resolved = fs.resolvedPath(folder);
    // A link that leads nowhere is as good as missing; one that leads out is reported.
    if (!resolved) {
        return fs.fileExists(folder) ? SearchFolderPlace::LeadsOutside : SearchFolderPlace::Missing;
    }
    return library && isStrictlyInside(*resolved, *library) ? SearchFolderPlace::InsideLibrary
                                                            : SearchFolderPlace::LeadsOutside;
}

} // namespace corvane
