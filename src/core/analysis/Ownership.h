#pragma once

#include <string_view>

namespace corvane {

enum class LetterCase { Significant, Ignored };

// Which of the target's own names a folder holds: Saved Application State keeps nothing of an
// application's but its `ID.savedState`.
enum class OwnNames { Settings, SavedStateOnly };

// True when `name` (one path component) is one of the target's own names for `identifier`:
// ID, ID.plist, ID.plist.* (a lock or temporary file beside it), ID.savedState,
// ID.binarycookies, or, inside a ByHost folder (`inByHost`), ID.H.plist with H a host
// identifier (hex digits and "-", at least 8). Longer names that merely contain the identifier
// belong to other applications.
bool isTargetOwnName(std::string_view name, std::string_view identifier,
                     LetterCase letterCase = LetterCase::Significant, bool inByHost = false);

// True when any component of `relativePath` is one of the target's own names, so an entry
// beneath a folder of the target's belongs to it too. An empty identifier owns nothing.
bool belongsToTarget(std::string_view relativePath, std::string_view identifier,
                     LetterCase letterCase = LetterCase::Significant,
                     OwnNames names = OwnNames::Settings);

} // namespace corvane
