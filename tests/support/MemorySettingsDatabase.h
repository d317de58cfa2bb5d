#pragma once

#include "ports/SettingsDatabase.h"

#include <set>

namespace corvane::testing {

// A settings database held in a map, for tests where the real one is not the point: a change
// applies whole, and keys in `locked` are never written.
class MemorySettingsDatabase : public SettingsDatabase {
public:
    Result<SettingsValues> dump(const SettingsFolder& folder) override;
    Result<std::vector<std::string>> lockedKeys(const SettingsFolder& folder) override;
    Status replace(const SettingsFolder& folder, const SettingsValues& values) override;

    SettingsValues keys;
    std::set<std::string> locked;
};

} // namespace corvane::testing
