#pragma once

#include "core/analysis/Ownership.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Called for every item of long work, so that a face can show progress.
using Tick = std::function<void()>;

class FileSystem;
struct UserFolders;

inline constexpr const char* kSafariIdentifier = "com.apple.Safari";
inline constexpr const char* kAdwareFolder = "Library/Application Support/osxDownloader";
inline constexpr const char* kAdwareLabel = "osxDownloader Adware";
inline constexpr const char* kLastSessionFile = "LastSession.plist";
inline constexpr const char* kHardResetNotice =
    "Hard reset of Safari enabled...press \"X\" to Cancel, or \"Fix\" to reset.\n\nIf you "
    "choose, \"Fix\", you will loose all preferences, bookmarks, history and extensions.";

// Entries as shown to the user and, at the same index, the absolute path that a fix removes.
struct EntryList {
    std::vector<std::string> shown;
    std::vector<std::string> fullPaths;

    void append(std::string shownAs, std::string fullPath);
    void append(const EntryList& other);
    bool empty() const { return fullPaths.empty(); }
};

// A search folder that was not walked, named as the user knows it ("Preferences").
struct SkippedFolder {
    enum class Reason {
        LeadsOutside,
        Unreadable,
        Link,
        LeadsOutsideHome,
        GenericName,
        Unreachable, // a folder of the settings database, which could not be reached
    };
    std::string name;
    Reason reason;
    bool operator==(const SkippedFolder&) const = default;
};

// The line the window shows for a folder that was not searched.
std::string skippedFolderLine(const SkippedFolder& skipped);

// What one or more folder walks found, and the folders they could not search.
struct FolderSearch {
    EntryList entries;
    std::vector<SkippedFolder> skipped;

    void append(const FolderSearch& other);
};

// Walks the Library's sub-folder `name` and keeps the target's own entries (see
// belongsToTarget), each shown by its path relative to that folder. A folder that leads out of
// the Library or cannot be read is not walked and is reported instead; a missing one gives
// nothing. `tick`, when given, is called for every entry seen.
FolderSearch searchLibraryFolder(const FileSystem& fs, const UserFolders& folders,
                                 const std::string& name, std::string_view identifier,
                                 LetterCase letterCase = LetterCase::Significant,
                                 const Tick& tick = {}, OwnNames names = OwnNames::Settings);

bool isSafariIdentifier(std::string_view identifier);

// The folder `name` ("Preferences", "Saved Application State") of the application's sandbox
// container, Containers/ID/Data/Library/NAME in the Library. The container is the application's
// alone, so every entry in it is the target's; each is shown by its path relative to the Library.
// Every folder on the way must be a real folder, not a link, or nothing is walked.
FolderSearch searchContainerFolder(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const std::string& name,
                                   const Tick& tick = {});

// Safari's own extras: the adware folder when present, then "LastSession.plist" once for every
// entry of the Safari folder whose path mentions it (always the file directly in that folder).
FolderSearch findSafariExtras(const FileSystem& fs, const UserFolders& folders);

// The preference entries in the order the window lists them: the Preferences walk, the
// container's preferences, then for Safari its extras. The Safari question's answer does not
// change them.
FolderSearch findPreferenceEntries(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const Tick& tick = {});

// The saved-state entries: the walk of Saved Application State, then the container's.
FolderSearch findSavedStateEntries(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const Tick& tick = {});

// Everything a fix removes for the identifier, with the folders that were not searched.
struct TargetEntries {
    EntryList preferences;
    EntryList savedState;
    std::vector<SkippedFolder> skipped;
    bool isSafari = false;
};
TargetEntries findTargetEntries(const UserFolders& folders, const std::string& identifier,
                                const FileSystem& fs, const Tick& tick = {});

// The target's entries of Caches and Cookies, matched ignoring letter case, for a Hard reset.
std::vector<std::string> findHardResetEntries(const FileSystem& fs, const UserFolders& folders,
                                              std::string_view identifier);

} // namespace corvane
