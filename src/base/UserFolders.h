#pragma once

#include <optional>
#include <string>
#include <variant>

namespace corvane {

class FileSystem;

struct UserFolders {
    std::string home;
    std::string library; // home + "/Library"
};

// The user's home and Library folders, or a message saying why they cannot be used. A home that
// is unset, empty, relative or "/" is refused, so nothing is ever looked for under /Library.
std::variant<UserFolders, std::string> locateUserFolders(const FileSystem& fs);

// Joins with a single "/", as the platform's path append does.
std::string appendPathComponent(const std::string& folder, const std::string& component);

// True when `path` is `folder` or lies beneath it (plain text comparison on whole components).
bool isInsideFolder(const std::string& path, const std::string& folder);

// True when `root` may be walked: it is missing, or once resolved it lies beneath the home.
bool isWalkableRoot(const FileSystem& fs, const std::string& root, const std::string& home);

} // namespace corvane
