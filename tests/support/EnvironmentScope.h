#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace corvane::testing {

// Environment variables set (or, with none, unset) for the life of the object, then put back.
class EnvironmentScope {
public:
    explicit EnvironmentScope(const std::map<std::string, std::optional<std::string>>& values) {
        for (const auto& [name, value] : values) {
            const char* before = std::getenv(name.c_str());
            m_before.emplace(name, before ? std::optional<std::string>(before) : std::nullopt);
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    ~EnvironmentScope() {
        for (const auto& [name, value] : m_before) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    std::map<std::string, std::optional<std::string>> m_before;
};

} // namespace corvane::testing
