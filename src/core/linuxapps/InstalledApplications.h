#pragma once

#include "ports/DesktopApplications.h"

#include <optional>
#include <string>
#include <string_view>
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

// The installed applications the files read describe. Of files with the same desktop file id the
// one from the more important folder wins (a Hidden one hides the id); a Flatpak export and a host
// package of the same id are separate applications.
ApplicationList installedApplications(const std::vector<DesktopFileText>& files);

class FileSystem;

// The desktop files of the user whose home is given, in the applications/ folders the
// environment names ($XDG_DATA_HOME, $XDG_DATA_DIRS), through `desktop`: every one read, or only
// those `wanted` takes and the rest named.
std::vector<DesktopFileText> findDesktopFiles(const FileSystem& fs,
                                              const DesktopApplications& desktop,
                                              const std::string& home,
                                              const DesktopFileWanted& wanted = {});

// The installed applications of the user whose home is given, from every desktop file.
ApplicationList findInstalledApplications(const FileSystem& fs, const DesktopApplications& desktop,
                                          const std::string& home);

// Whether the desktop file at `relativePath` can describe the application `id`: its desktop file
// id is the id, or begins with the id and a dot. Flatpak exports only files named so, which makes
// an X-Flatpak id such a beginning of its file's id.
bool canDescribe(std::string_view relativePath, const std::string& id);

// The ids of the installed applications the files name: as installedApplications() finds them
// for the files read, and the desktop file id of each file only named. A named file that is
// hidden, broken or an export of another id counts all the same; that can only keep more of
// other applications' folders out of a search.
std::vector<std::string> installedApplicationIds(const std::vector<DesktopFileText>& files);

enum class ApplicationIdFit { Own, TooGeneric, Rejected };

// Whether an application id can name folders of its own: the identifier policy's reverse-DNS
// shape (Own), that shape in one word (TooGeneric), or neither.
ApplicationIdFit applicationIdFit(const std::string& id);

} // namespace corvane
