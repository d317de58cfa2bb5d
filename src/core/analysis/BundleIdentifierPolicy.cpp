#include "core/analysis/BundleIdentifierPolicy.h"

#include "base/Text.h"

#include <array>

namespace corvane {

namespace {

bool isIdentifierCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// Names of the preferences' shared domains; clearing one of them resets every application.
constexpr std::array<std::string_view, 7> kSpecialDomains = {"NSGlobalDomain",
                                                             "NSRegistrationDomain",
                                                             "NSArgumentDomain",
                                                             "globalDomain",
                                                             "kCFPreferencesAnyApplication",
                                                             "GlobalPreferences",
                                                             "com.apple.GlobalPreferences"};

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
    // At least two non-empty parts: a single word names no application of its own.
    if (identifier.find("..") != std::string_view::npos ||
        identifier.find('.') == std::string_view::npos) {
        return false;
    }
    // No bundle has such an identifier, and its folders' names would pass for another
    // application's own files.
    for (const std::string_view suffix : {".plist", ".savedState"}) {
        if (identifier.size() > suffix.size() &&
            equalsIgnoringCase(identifier.substr(identifier.size() - suffix.size()), suffix)) {
            return false;
        }
    }
    for (const std::string_view special : kSpecialDomains) {
        if (equalsIgnoringCase(identifier, special)) {
            return false;
        }
    }
    return true;
}

} // namespace corvane
