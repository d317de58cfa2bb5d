#include "core/analysis/SettingsKind.h"

#include "base/Text.h"
#include "core/linuxapps/InstalledApplications.h"
#include "core/linuxapps/RunningInstances.h"
#include "core/linuxapps/SettingsFolders.h"

#include <cctype>

namespace corvane {

namespace {

// Flatpak migrates only from a folder that spells the application id, letter case and '-' or '_'
// aside; anything else in the metadata would name another application's settings.
bool spellsApplicationId(const std::string& path, const std::string& applicationId) {
    const auto plain = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            if (c != '-' && c != '_') {
                out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        return out;
    };
    return plain(path) == plain(defaultSettingsFolder(applicationId));
}

} // namespace

SettingsSearch settingsSearchFor(const std::string& applicationId, SettingsDatabase* database,
                                 const DesktopApplications* desktop,
                                 const SessionProcesses* session, const FileSystem& fs,
                                 const std::string& home,
                                 const std::vector<std::string>* installedIds) {
    SettingsSearch search;
    search.database = database;
    std::vector<InstalledSchema> schemas;
    std::vector<std::string> others;
    if (desktop) {
        // Without the schemas the folder named by the id is still the application's.
        if (Result<std::vector<InstalledSchema>> installed = desktop->installedSchemas()) {
            schemas = std::move(*installed);
        }
        if (installedIds) {
            others = *installedIds;
        } else {
            others = installedApplicationIds(findDesktopFiles(fs, *desktop, home));
        }
    }
    if (session) {
        search.migratePath = flatpakDconfMigratePath(*session, applicationId);
        if (search.migratePath && !spellsApplicationId(*search.migratePath, applicationId)) {
            search.migratePath.reset();
        }
        if (search.migratePath) {
            // Taken as one of the application's own schema paths, so that other applications'
            // folders inside it stay out of it as they do elsewhere.
            schemas.push_back({applicationId, *search.migratePath});
        }
    }
    search.folders = applicationSettingsFolders(applicationId, schemas, others).folders;
    return search;
}

std::string settingsFolderShown(const std::string& path, std::size_t keys) {
    return path + " (" + plural(keys, "key", "keys") + " set)";
}

} // namespace corvane
