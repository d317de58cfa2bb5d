#pragma once

#include "ports/SettingsDatabase.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

class DesktopApplications;
class FileSystem;
class SessionProcesses;

// Where the gsettings kind looks for an application's keys.
struct SettingsSearch {
    SettingsDatabase* database = nullptr; // none: the desktop has no settings database to reach
    std::vector<SettingsFolder> folders;  // the application's, none inside another
    // The host folder the application's Flatpak rebuilds its settings from when they are
    // missing; a reset of the Flatpak resets it too.
    std::optional<std::string> migratePath;
};

// The application's folders of the settings database: /ID/ (dots as slashes), the paths of its
// installed schemas and the folder its Flatpak migrates from, each without the folders of the
// other installed applications inside it. `installedIds`, when the caller has read them already,
// spares reading every desktop file again.
SettingsSearch settingsSearchFor(const std::string& applicationId, SettingsDatabase* database,
                                 const DesktopApplications* desktop,
                                 const SessionProcesses* session, const FileSystem& fs,
                                 const std::string& home,
                                 const std::vector<std::string>* installedIds = nullptr);

// "/org/gnome/TextEditor/ (12 keys set)", as the report lists a folder.
std::string settingsFolderShown(const std::string& path, std::size_t keys);

} // namespace corvane
