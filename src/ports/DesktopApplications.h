#pragma once

#include "base/Result.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One desktop file as read from disk: the index of its applications/ folder in the list it was
// read from, its path below that folder and its text.
struct DesktopFileText {
    std::size_t directoryIndex = 0;
    std::string relativePath;
    std::string path;
    std::string text;
    bool read = true; // false: the file was only named, its text not read
};

// Whether a desktop file's text is wanted, from its path below its applications/ folder.
using DesktopFileWanted = std::function<bool(std::string_view relativePath)>;

// An installed GSettings schema that keeps its keys at a fixed dconf folder.
struct InstalledSchema {
    std::string id;
    std::string path; // "/org/gnome/TextEditor/"
};

// What the desktop has installed: desktop files and settings schemas.
class DesktopApplications {
public:
    virtual ~DesktopApplications() = default;

    // Every "*.desktop" file below each of the folders (sub-folders included, symlinks followed
    // to files only). A folder that is missing or unreadable contributes nothing. With `wanted`,
    // the files it does not take are named without being read or checked.
    virtual std::vector<DesktopFileText>
    desktopFiles(const std::vector<std::string>& applicationDirectories,
                 const DesktopFileWanted& wanted) const = 0;

    // The schemas that have a path, from the compiled schemas the desktop's settings use.
    [[nodiscard]] virtual Result<std::vector<InstalledSchema>> installedSchemas() const = 0;
};

} // namespace corvane
