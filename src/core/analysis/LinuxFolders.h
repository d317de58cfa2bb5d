#pragma once

#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"

#include <string>
#include <string_view>

namespace corvane {

// A Flatpak application's folder `name` ("config", ".local/state", "cache") of its sandbox
// folder ~/.var/app/ID: the folder itself and everything in it, each shown by its path relative
// to the home. Every folder on the way must be a real folder, not a link, or nothing is walked.
// Only an id that can name folders of its own (with a dot) is looked for.
FolderSearch searchFlatpakFolder(const FileSystem& fs, const std::string& home,
                                 std::string_view identifier, const std::string& name,
                                 const Tick& tick = {});

// The folder named exactly by the application id in a base folder ($XDG_CONFIG_HOME/ID ...),
// with everything in it. A base folder that leads out of the home, or an ID folder that is a
// link, is not walked and is reported instead.
FolderSearch searchBaseFolder(const FileSystem& fs, const std::string& home, BaseFolder base,
                              std::string_view identifier, const Tick& tick = {});

} // namespace corvane
