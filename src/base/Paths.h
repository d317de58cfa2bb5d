#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The path without its trailing "/" characters; "/" itself stays "/".
std::string withoutTrailingSlashes(std::string_view path);

// The folder the entry at the path lies in ("/Library" of "/Library/Preferences"); "/" for an
// entry directly in "/" or a path without any "/".
std::string parentFolder(const std::string& path);

// The last component of the path ("Widget.app" of "/Applications/Widget.app/"); "/" stays "/".
std::string lastPathComponent(std::string_view path);

// Where the last "/" of the path is, as rfind('/') gives it, found many bytes at a time where the
// C library can: a reset asks it several times for each of up to 100,000 entries.
std::size_t lastSlash(std::string_view path);

// A plainly absolute path split at its last "/", when it names an entry by a name of its own
// (not "." or "..", no trailing "/"): calls about it can then go by name inside its folder.
struct FolderAndName {
    std::string_view folder; // "/" for an entry directly in "/"
    std::string_view name;
};
std::optional<FolderAndName> folderAndName(std::string_view path);

// Joins with a single "/", as the platform's path append does.
std::string appendPathComponent(const std::string& folder, const std::string& component);

// True when `path` is `folder` or lies beneath it (plain text comparison on whole components).
bool isInsideFolder(const std::string& path, const std::string& folder);

// `path` relative to `folder` when it lies beneath it ("Library/Safari" of "/home/u/Library/Safari"
// in "/home/u"); otherwise `path` as it is.
std::string pathRelativeTo(const std::string& path, const std::string& folder);

} // namespace corvane
