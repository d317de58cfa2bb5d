#include "core/linuxapps/SettingsFolders.h"

#include <set>

namespace corvane {

namespace {

// The id of the list that the schema belongs to: the longest one that is the schema's id or
// its beginning up to a dot. Empty when none.
std::string ownerOfSchema(const std::string& schemaId, const std::set<std::string>& ids) {
    std::string candidate = schemaId;
    while (true) {
        if (ids.count(candidate) != 0) {
            return candidate;
        }
        const std::size_t dot = candidate.rfind('.');
        if (dot == std::string::npos) {
            return {};
        }
        candidate.resize(dot);
    }
}

bool isInside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

} // namespace

std::string defaultSettingsFolder(const std::string& applicationId) {
    std::string path = "/" + applicationId + "/";
    for (char& c : path) {
        if (c == '.') {
            c = '/';
        }
    }
    return path;
}

ApplicationSettingsFolders applicationSettingsFolders(const std::string& applicationId,
                                                      const std::vector<InstalledSchema>& schemas,
                                                      const std::vector<std::string>& otherIds) {
    std::set<std::string> ids(otherIds.begin(), otherIds.end());
    ids.erase(applicationId);
    std::set<std::string> others;
    for (const std::string& id : ids) {
        others.insert(defaultSettingsFolder(id));
    }
    ids.insert(applicationId);

    std::set<std::string> own = {defaultSettingsFolder(applicationId)};
    for (const InstalledSchema& schema : schemas) {
        if (schema.path.empty() || schema.path.front() != '/' || schema.path.back() != '/') {
            continue;
        }
        const std::string owner = ownerOfSchema(schema.id, ids);
        if (owner == applicationId) {
            own.insert(schema.path);
        } else if (!owner.empty()) {
            others.insert(schema.path);
        }
    }

    ApplicationSettingsFolders result;
    std::string lastKept;
    for (const std::string& path : own) {
        if (others.count(path) != 0) {
            result.shared.push_back(path);
            continue;
        }
        // The set is sorted, so a folder inside a kept one comes right after it.
        if (!lastKept.empty() && isInside(path, lastKept)) {
            continue;
        }
        SettingsFolder folder{path, {}};
        for (auto other = others.upper_bound(path); other != others.end() && isInside(*other, path);
             ++other) {
            if (folder.excludedSubfolders.empty() ||
                !isInside(*other, folder.excludedSubfolders.back())) {
                folder.excludedSubfolders.push_back(*other);
            }
        }
        result.folders.push_back(std::move(folder));
        lastKept = path;
    }
    return result;
}

} // namespace corvane
