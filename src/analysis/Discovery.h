#pragma once

#include "platform/Dialogs.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class FileSystem;
class ResponsiveWork;

inline constexpr const char* kSafariIdentifierMarker = "com.apple.Safari";
inline constexpr const char* kAdwareFolder = "Library/Application Support/osxDownloader";
inline constexpr const char* kAdwareLabel = "osxDownloader Adware";
inline constexpr const char* kLastSessionFile = "LastSession.plist";
inline constexpr const char* kHardResetNotice =
    "Hard reset of Safari enabled...press \"X\" to Cancel, or \"Fix\" to reset.\n\nIf you "
    "choose, \"Fix\", you will loose all preferences, bookmarks, history and extensions.";

struct MatchedEntries {
    std::vector<std::string> relativePaths;
    std::vector<std::string> fullPaths;
};

// An entry belongs to the target when the identifier occurs anywhere in its relative path,
// letter case significant. An empty identifier belongs nowhere.
bool identifierMatches(std::string_view relativePath, std::string_view identifier);

enum class LetterCase { Significant, Ignored };

// Every entry beneath `folder` whose relative path contains `needle`, in walk order. A folder
// that resolves outside `home` (a symlink leading out) is not walked. `work`, when given, is
// ticked for every entry seen.
MatchedEntries findMatchingEntries(const FileSystem& fs, const std::string& folder,
                                   const std::string& home, std::string_view needle,
                                   ResponsiveWork* work = nullptr,
                                   LetterCase letterCase = LetterCase::Significant);

// The question asked for a Safari target; the second button answers Soft.
Alert safariModePrompt();

} // namespace corvane
