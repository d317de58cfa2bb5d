#include "core/analysis/Discovery.h"

#include "base/Paths.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "ports/FileSystem.h"
#include "ports/Services.h"

#include <variant>

namespace corvane {

void EntryList::append(std::string shownAs, std::string fullPath) {
    shown.push_back(std::move(shownAs));
    fullPaths.push_back(std::move(fullPath));
}

void EntryList::append(const EntryList& other) {
    shown.insert(shown.end(), other.shown.begin(), other.shown.end());
    fullPaths.insert(fullPaths.end(), other.fullPaths.begin(), other.fullPaths.end());
}

std::string skippedFolderLine(const SkippedFolder& skipped) {
    const char* why = "could not be read";
    switch (skipped.reason) {
    case SkippedFolder::Reason::LeadsOutside:
        why = "leads outside your Library";
        break;
    case SkippedFolder::Reason::Link:
        why = "is a link";
        break;
    case SkippedFolder::Reason::LeadsOutsideHome:
        why = "leads outside your home";
        break;
    case SkippedFolder::Reason::GenericName:
        why = "is named by an id without a dot, too generic to be the application's own";
        break;
    case SkippedFolder::Reason::Unreachable:
        return "The folder \"" + skipped.name +
               "\" of the desktop's settings database was not searched: the database (dconf) "
               "could not be reached.";
    case SkippedFolder::Reason::Unreadable:
        break;
    }
    return "The folder \"" + skipped.name + "\" " + why + ", so it was not searched.";
}

void FolderSearch::append(const FolderSearch& other) {
    entries.append(other.entries);
    skipped.insert(skipped.end(), other.skipped.begin(), other.skipped.end());
}

namespace {

// Walks `folder` (the Library's sub-folder `name`) when it is confined to the Library, handing
// each relative path to `visit`; records in `search` why it was not walked otherwise.
template <typename Visit>
void walkSearchFolder(const FileSystem& fs, const UserFolders& folders, const std::string& name,
                      const std::string& folder, FolderSearch& search, Visit&& visit) {
    switch (searchFolderPlace(fs, folders, folder)) {
    case SearchFolderPlace::Missing:
        return;
    case SearchFolderPlace::LeadsOutside:
        search.skipped.push_back({name, SkippedFolder::Reason::LeadsOutside});
        return;
    case SearchFolderPlace::InsideLibrary:
        break;
    }
    const auto result = fs.walk(folder, [&](const std::string& relativePath) {
        visit(relativePath);
        return true;
    });
    if (result == FileSystem::WalkResult::Unreadable) {
        search.skipped.push_back({name, SkippedFolder::Reason::Unreadable});
    }
}

} // namespace

FolderSearch searchLibraryFolder(const FileSystem& fs, const UserFolders& folders,
                                 const std::string& name, std::string_view identifier,
                                 LetterCase letterCase, const Tick& tick, OwnNames names) {
    FolderSearch search;
    const std::string folder = appendPathComponent(folders.library, name);
    walkSearchFolder(fs, folders, name, folder, search, [&](const std::string& relativePath) {
        if (tick) {
            tick();
        }
        if (belongsToTarget(relativePath, identifier, letterCase, names)) {
            search.entries.append(relativePath, appendPathComponent(folder, relativePath));
        }
    });
    return search;
}

FolderSearch searchContainerFolder(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const std::string& name,
                                   const Tick& tick) {
    FolderSearch search;
    const std::optional<std::string> library = confinedLibrary(fs, folders);
    if (!library || identifier.empty()) {
        return search;
    }
    // A real folder resolves to its own place beneath the resolved Library; a link anywhere on
    // the way does not, and is not followed.
    std::string relative = "Containers";
    for (const std::string& step : {std::string(identifier), std::string("Data"),
                                    std::string("Library"), name, std::string()}) {
        const std::string path = appendPathComponent(folders.library, relative);
        if (!fs.entryExists(path)) {
            return search;
        }
        if (fs.resolvedPath(path) != appendPathComponent(*library, relative)) {
            search.skipped.push_back({relative, SkippedFolder::Reason::Link});
            return search;
        }
        if (!step.empty()) {
            relative = appendPathComponent(relative, step);
        }
    }
    const std::string folder = appendPathComponent(folders.library, relative);
    const auto result = fs.walk(folder, [&](const std::string& entry) {
        if (tick) {
            tick();
        }
        std::string shown = appendPathComponent(relative, entry);
        search.entries.append(shown, appendPathComponent(folders.library, shown));
        return true;
    });
    if (result == FileSystem::WalkResult::Unreadable) {
        search.skipped.push_back({relative, SkippedFolder::Reason::Unreadable});
    }
    return search;
}

bool isSafariIdentifier(std::string_view identifier) {
    return identifier == kSafariIdentifier;
}

FolderSearch findSafariExtras(const FileSystem& fs, const UserFolders& folders) {
    FolderSearch search;
    const std::string adware = appendPathComponent(folders.home, kAdwareFolder);
    if (fs.fileExists(adware)) {
        search.entries.append(kAdwareLabel, adware);
    }
    const std::string safariFolder = appendPathComponent(folders.library, "Safari");
    const std::string lastSession = appendPathComponent(safariFolder, kLastSessionFile);
    walkSearchFolder(fs, folders, "Safari", safariFolder, search,
                     [&](const std::string& relativePath) {
                         if (relativePath.find(kLastSessionFile) != std::string::npos) {
                             search.entries.append(kLastSessionFile, lastSession);
                         }
                     });
    return search;
}

FolderSearch findPreferenceEntries(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const Tick& tick) {
    FolderSearch search =
        searchLibraryFolder(fs, folders, "Preferences", identifier, LetterCase::Significant, tick);
    search.append(searchContainerFolder(fs, folders, identifier, "Preferences", tick));
    if (isSafariIdentifier(identifier)) {
        search.append(findSafariExtras(fs, folders));
    }
    return search;
}

FolderSearch findSavedStateEntries(const FileSystem& fs, const UserFolders& folders,
                                   std::string_view identifier, const Tick& tick) {
    FolderSearch search =
        searchLibraryFolder(fs, folders, "Saved Application State", identifier,
                            LetterCase::Significant, tick, OwnNames::SavedStateOnly);
    search.append(searchContainerFolder(fs, folders, identifier, "Saved Application State", tick));
    return search;
}

TargetEntries findTargetEntries(const UserFolders& folders, const std::string& identifier,
                                const FileSystem& fs, const Tick& tick) {
    FolderSearch preferences = findPreferenceEntries(fs, folders, identifier, tick);
    FolderSearch savedState = findSavedStateEntries(fs, folders, identifier, tick);
    TargetEntries found{std::move(preferences.entries), std::move(savedState.entries),
                        std::move(preferences.skipped), isSafariIdentifier(identifier)};
    found.skipped.insert(found.skipped.end(), savedState.skipped.begin(), savedState.skipped.end());
    return found;
}

std::vector<std::string> findHardResetEntries(const FileSystem& fs, const UserFolders& folders,
                                              std::string_view identifier) {
    std::vector<std::string> entries;
    for (const char* name : {"Caches", "Cookies"}) {
        FolderSearch search =
            searchLibraryFolder(fs, folders, name, identifier, LetterCase::Ignored);
        entries.insert(entries.end(), search.entries.fullPaths.begin(),
                       search.entries.fullPaths.end());
    }
    return entries;
}

} // namespace corvane
