#pragma once

#include "ports/DesktopApplications.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// The applications/ folders to read, most important first: $XDG_DATA_HOME (default
// ~/.local/share), each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share), then Flatpak's
// exports for the user and the system unless the data dirs name them already. Relative entries
// are ignored and each folder appears once.
std::vector<std::string> applicationDirectories(const std::string& home,
                                                const std::optional<std::string>& dataHome,
                                                const std::optional<std::string>& dataDirs);

struct InstalledApplication {
    std::string id;            // the X-Flatpak value when there is one, else the desktop file id
    std::string desktopFileId; // file name below applications/ without ".desktop", '/' as '-'
    std::string name;          // ends in " (Flatpak)" when a host package has the same id
    std::string icon;
    std::string execProgram;
    bool flatpak = false;
    // An id of one word (vlc) names no application of its own in folder names; only its
    // settings schemas can be told apart.
    bool tooGeneric = false;
    bool noDisplay = false;
    std::string desktopFilePath;
};

struct RejectedDesktopFile {
    std::string path;
    std::string reason;
};

struct ApplicationList {
    std::vector<InstalledApplication> applications; // by name, then id
    std::vector<RejectedDesktopFile> rejected;
};

// The installed applications the files describe. Of files with the same desktop file id the one
// from the more important folder wins (a Hidden one hides the id); a Flatpak export and a host
// package of the same id are separate applications.
ApplicationList installedApplications(const std::vector<DesktopFileText>& files);

class FileSystem;

// The installed applications of the user whose home is given, from the applications/ folders the
// environment names ($XDG_DATA_HOME, $XDG_DATA_DIRS) read through `desktop`.
ApplicationList findInstalledApplications(const FileSystem& fs, const DesktopApplications& desktop,
                                          const std::string& home);

enum class ApplicationIdFit { Own, TooGeneric, Rejected };

// Whether an application id can name folders of its own: the identifier policy's reverse-DNS
// shape (Own), that shape in one word (TooGeneric), or neither.
ApplicationIdFit applicationIdFit(const std::string& id);

} // namespace corvane
