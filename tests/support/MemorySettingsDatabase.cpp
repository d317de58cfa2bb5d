#include "support/MemorySettingsDatabase.h"

#include <algorithm>

namespace corvane::testing {

namespace {

bool inFolder(const std::string& key, const SettingsFolder& folder) {
    return key.starts_with(folder.path) &&
           std::none_of(folder.excludedSubfolders.begin(), folder.excludedSubfolders.end(),
                        [&key](const std::string& other) { return key.starts_with(other); });
}

} // namespace

Result<SettingsValues> MemorySettingsDatabase::dump(const SettingsFolder& folder) {
    SettingsValues found;
    for (const auto& [key, value] : keys) {
        if (inFolder(key, folder)) {
            found.emplace(key, value);
        }
    }
    return found;
}

Result<std::vector<std::string>> MemorySettingsDatabase::lockedKeys(const SettingsFolder& folder) {
    std::vector<std::string> found;
    std::copy_if(locked.begin(), locked.end(), std::back_inserter(found),
                 [&folder](const std::string& key) { return inFolder(key, folder); });
    return found;
}

Status MemorySettingsDatabase::replace(const SettingsFolder& folder, const SettingsValues& values) {
    if (std::any_of(values.begin(), values.end(),
                    [&](const auto& entry) { return !inFolder(entry.first, folder); })) {
        return Error{"a key outside the folder"};
    }
    std::erase_if(keys, [&](const auto& entry) {
        return inFolder(entry.first, folder) && !locked.contains(entry.first);
    });
    for (const auto& [key, value] : values) {
        if (!locked.contains(key)) {
            keys[key] = value;
        }
    }
    return Done{};
}

} // namespace corvane::testing
