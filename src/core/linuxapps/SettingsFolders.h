#pragma once

#include "ports/DesktopApplications.h"
#include "ports/SettingsDatabase.h"

#include <string>
#include <vector>

namespace corvane {

struct ApplicationSettingsFolders {
    std::vector<SettingsFolder> folders; // by path, none inside another
    // Folders the application shares with another installed application: left alone.
    std::vector<std::string> shared;
};

// "/org/gnome/TextEditor/" for org.gnome.TextEditor.
std::string defaultSettingsFolder(const std::string& applicationId);

// The dconf folders of an application: its default folder and the paths of the schemas whose id
// is the application id or begins with it and a dot, unless a longer installed id claims the
// schema (org.gnome.TextEditor.Devel's schemas are not org.gnome.TextEditor's). Folders of other
// installed applications inside one of these are left out of it; ids compare case-significant.
ApplicationSettingsFolders applicationSettingsFolders(const std::string& applicationId,
                                                      const std::vector<InstalledSchema>& schemas,
                                                      const std::vector<std::string>& otherIds);

} // namespace corvane
