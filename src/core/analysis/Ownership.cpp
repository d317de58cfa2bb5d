#include "core/analysis/Ownership.h"

#include "base/Text.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr std::size_t kShortestHostIdentifier = 8;

bool sameText(std::string_view a, std::string_view b, LetterCase letterCase) {
    return letterCase == LetterCase::Significant ? a == b : equalsIgnoringCase(a, b);
}

bool startsWith(std::string_view text, std::string_view prefix, LetterCase letterCase) {
    return text.size() >= prefix.size() &&
           sameText(text.substr(0, prefix.size()), prefix, letterCase);
}

bool isHostIdentifier(std::string_view text) {
    return text.size() >= kShortestHostIdentifier &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                      c == '-';
           });
}

} // namespace

bool isTargetOwnName(std::string_view name, std::string_view identifier, LetterCase letterCase,
                     bool inByHost) {
    if (identifier.empty() || !startsWith(name, identifier, letterCase)) {
        return false;
    }
    const std::string_view rest = name.substr(identifier.size());
    if (rest.empty()) {
        return true;
    }
    for (const std::string_view suffix : {".plist", ".savedState", ".binarycookies"}) {
        if (sameText(rest, suffix, letterCase)) {
            return true;
        }
    }
    if (startsWith(rest, ".plist.", letterCase)) {
        return true;
    }
    // Per-host preferences: ".H.plist", only where the system keeps them; elsewhere such a name
    // is a sibling product whose last part happens to be hex.
    constexpr std::string_view kPlist = ".plist";
    if (inByHost && rest.size() > 1 + kPlist.size() && rest.front() == '.' &&
        sameText(rest.substr(rest.size() - kPlist.size()), kPlist, letterCase)) {
        return isHostIdentifier(rest.substr(1, rest.size() - 1 - kPlist.size()));
    }
    return false;
}

bool belongsToTarget(std::string_view relativePath, std::string_view identifier,
                     LetterCase letterCase, OwnNames names) {
    if (identifier.empty()) {
        return false;
    }
    // Nearly every entry of a walk lacks the identifier altogether; one search settles those.
    const bool mentioned = letterCase == LetterCase::Significant
                               ? relativePath.find(identifier) != std::string_view::npos
                               : containsIgnoringCase(relativePath, identifier);
    if (!mentioned) {
        return false;
    }
    std::size_t start = 0;
    std::string_view parent;
    while (start <= relativePath.size()) {
        const std::size_t slash = relativePath.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? relativePath.size() : slash;
        const std::string_view name = relativePath.substr(start, end - start);
        const bool own =
            names == OwnNames::SavedStateOnly
                ? sameText(name, std::string(identifier) + ".savedState", letterCase)
                : isTargetOwnName(name, identifier, letterCase, sameText(parent, "ByHost", letterCase));
        if (own) {
            return true;
        }
        parent = name;
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    return false;
}

} // namespace corvane
