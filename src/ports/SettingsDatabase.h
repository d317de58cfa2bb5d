#pragma once

#include "base/Result.h"

#include <map>
#include <string>
#include <vector>

namespace corvane {

// A folder of the desktop's settings database ("/org/gnome/TextEditor/"), with the sub-folders
// inside it that belong to someone else and are neither read nor changed.
struct SettingsFolder {
    std::string path;
    std::vector<std::string> excludedSubfolders;
    bool operator==(const SettingsFolder&) const = default;
};

// Key path -> value as GVariant text with its type ("uint32 7", "@as []"), which reads back
// into the same value.
using SettingsValues = std::map<std::string, std::string>;

// The user's settings database (dconf on Linux), reached through its own service so that running
// applications are told of every change. Every call fails with a reason, in bounded time, when
// the service cannot be reached.
class SettingsDatabase {
public:
    virtual ~SettingsDatabase() = default;

    // Every key the user has set in the folder and its sub-folders, with its value.
    [[nodiscard]] virtual Result<SettingsValues> dump(const SettingsFolder& folder) = 0;

    // Keys in the folder that the administrator has locked: a reset leaves their values in force.
    [[nodiscard]] virtual Result<std::vector<std::string>>
    lockedKeys(const SettingsFolder& folder) = 0;

    // Resets every key of the folder and writes `values` (all inside it) in one change that
    // applies whole or not at all. Empty values is a plain reset.
    [[nodiscard]] virtual Status replace(const SettingsFolder& folder,
                                         const SettingsValues& values) = 0;
    // Starts reaching the service in the background, so that the first call made later waits
    // less or not at all. Nothing is read or changed.
    virtual void reachAhead() {}
};

} // namespace corvane
