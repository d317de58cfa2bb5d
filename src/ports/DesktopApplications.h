#pragma once

#include "base/Result.h"

#include <cstddef>
#include <string>
#include <vector>

namespace corvane {

// One desktop file as read from disk: the index of its applications/ folder in the list it was
// read from, its path below that folder and its text.
struct DesktopFileText {
    std::size_t directoryIndex = 0;
    std::string relativePath;
    std::string path;
    std::string text;
};

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
    // to files only). A folder that is missing or unreadable contributes nothing.
    virtual std::vector<DesktopFileText>
    desktopFiles(const std::vector<std::string>& applicationDirectories) const = 0;

    // The schemas that have a path, from the compiled schemas the desktop's settings use.
    [[nodiscard]] virtual Result<std::vector<InstalledSchema>> installedSchemas() const = 0;
};

} // namespace corvane
