#pragma once

#include <optional>
#include <string>
#include <variant>

namespace corvane {

class FileSystem;

struct UserFolders {
    std::string home;
    std::string library; // home + "/Library"
};

// The user's home and Library folders, or a message saying why they cannot be used. A home that
// is unset, empty, relative or "/" is refused, so nothing is ever looked for under /Library; so
// is one that is missing or not a folder, where nothing could be found or kept.
std::variant<UserFolders, std::string> locateUserFolders(const FileSystem& fs);

// The freedesktop base folders Linux applications keep their own folders in.
enum class BaseFolder { Config, State, Cache };

// $XDG_CONFIG_HOME, $XDG_STATE_HOME or $XDG_CACHE_HOME when set to a full path, else its default
// below the home (~/.config, ~/.local/state, ~/.cache).
std::string baseFolder(const FileSystem& fs, const std::string& home, BaseFolder which);

// The folder with every link resolved, the part that does not exist yet appended as it is; none
// when it does not lie strictly beneath the resolved home. The reset and Restore take entries
// only from inside such a folder.
std::optional<std::string> confinedFolder(const FileSystem& fs, const std::string& home,
                                          const std::string& folder);

// When this process runs as root and the home folder belongs to someone else, the sentence that
// refuses to work there: anything made in it (a Trash, the reset records) would be root's, and
// of no use to its owner. `subject` is what to run ("this", "Corvane"), `example` the command
// that owner would type.
std::optional<std::string> foreignHomeRefusal(const std::string& home, const std::string& subject,
                                              const std::string& example);

// The Library folder with every link resolved, when it lies beneath the home; none otherwise.
// Nothing is searched in or removed from a Library that leads elsewhere.
std::optional<std::string> confinedLibrary(const FileSystem& fs, const UserFolders& folders);

enum class SearchFolderPlace { Missing, InsideLibrary, LeadsOutside };

// Where a folder to be searched (Preferences, Caches, ...) leads once resolved. Only a folder
// beneath the confined Library, and not the Library itself, may be walked or removed from.
SearchFolderPlace searchFolderPlace(const FileSystem& fs, const UserFolders& folders,
                                    const std::string& folder);

} // namespace corvane
