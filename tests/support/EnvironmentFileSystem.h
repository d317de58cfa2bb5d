#pragma once

#include "host/posix/HostFileSystem.h"

#include <map>
#include <optional>
#include <string>

namespace corvane::testing {

// The real disk, with the environment's variables (the base folders') given by the test. For
// tests that link the host.
class EnvironmentFileSystem : public HostFileSystem {
public:
    std::optional<std::string> environmentValue(const std::string& variable) const override {
        const auto found = values.find(variable);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    std::map<std::string, std::string> values;
};

} // namespace corvane::testing
