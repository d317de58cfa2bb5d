#include "analysis/BundleIdentifierPolicy.h"

#include "base/Utf16.h"

#include <array>

namespace corvane {

namespace {

bool isIdentifierCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

constexpr std::array<std::string_view, 5> kSpecialDomains = {
    "NSGlobalDomain", "NSRegistrationDomain", "NSArgumentDomain", "globalDomain",
    "kCFPreferencesAnyApplication"};

} // namespace

bool isAcceptableBundleIdentifier(std::string_view identifier) {
    if (identifier.empty() || identifier.size() > 255) {
        return false;
    }
    if (identifier.front() == '-' || identifier.front() == '.' || identifier.back() == '.') {
        return false;
    }
    for (const char c : identifier) {
        if (!isIdentifierCharacter(c)) {
            return false;
        }
    }
    if (identifier.find("..") != std::string_view::npos) {
        return false;
    }
    for (const std::string_view special : kSpecialDomains) {
        if (identifier.size() == special.size() && containsIgnoringCase(identifier, special)) {
            return false;
        }
    }
    return true;
}

} // namespace corvane
