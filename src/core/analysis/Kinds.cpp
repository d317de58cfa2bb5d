#include "core/analysis/Kinds.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/analysis/LinuxFolders.h"

#include <algorithm>
#include <array>

namespace corvane {

namespace {

FolderSearch findPreferences(const KindSearch& search) {
    return searchLibraryFolder(search.fs, search.folders, "Preferences", search.identifier,
                               LetterCase::Significant, search.tick);
}

FolderSearch findContainerPreferences(const KindSearch& search) {
    return searchContainerFolder(search.fs, search.folders, search.identifier, "Preferences",
                                 search.tick);
}

FolderSearch findExtras(const KindSearch& search) {
    return findSafariExtras(search.fs, search.folders);
}

FolderSearch findSavedState(const KindSearch& search) {
    return searchLibraryFolder(search.fs, search.folders, "Saved Application State",
                               search.identifier, LetterCase::Significant, search.tick,
                               OwnNames::SavedStateOnly);
}

FolderSearch findContainerSavedState(const KindSearch& search) {
    return searchContainerFolder(search.fs, search.folders, search.identifier,
                                 "Saved Application State", search.tick);
}

FolderSearch findFlatpakConfig(const KindSearch& search) {
    return searchFlatpakFolder(search.fs, search.folders.home, search.identifier, "config",
                               search.tick);
}

FolderSearch findFlatpakState(const KindSearch& search) {
    return searchFlatpakFolder(search.fs, search.folders.home, search.identifier, ".local/state",
                               search.tick);
}

FolderSearch findFlatpakCache(const KindSearch& search) {
    return searchFlatpakFolder(search.fs, search.folders.home, search.identifier, "cache",
                               search.tick);
}

FolderSearch findXdgConfig(const KindSearch& search) {
    return searchBaseFolder(search.fs, search.folders.home, BaseFolder::Config, search.identifier,
                            search.tick);
}

FolderSearch findXdgState(const KindSearch& search) {
    return searchBaseFolder(search.fs, search.folders.home, BaseFolder::State, search.identifier,
                            search.tick);
}

FolderSearch findXdgCache(const KindSearch& search) {
    return searchBaseFolder(search.fs, search.folders.home, BaseFolder::Cache, search.identifier,
                            search.tick);
}

constexpr std::string_view kFromTrash = "put back from the Trash by Restore";
constexpr std::string_view kSandboxOwn =
    "everything: the sandbox folder is the application's alone; its data folder is kept";
constexpr std::string_view kBaseOwn =
    "the folder named exactly ID (letter case counts), for an id with a dot";

const std::array<KindRow, 13> kKinds = {{
    {EntryKind::Preferences, "preferences", "Settings", "Library/Preferences", "Library",
     "ID, ID.plist and its lock and temporary files, what lies in a folder named ID, and "
     "ID.HOST.plist directly in ByHost",
     kFromTrash, ReportList::Settings, true, false, false, TargetFamily::Bundle, findPreferences},
    {EntryKind::ContainerPreferences, "container_preferences", "Sandbox settings",
     "Library/Containers/ID/Data/Library/Preferences", "Library/Containers/ID",
     "everything: the container is the application's alone", kFromTrash, ReportList::Settings, true,
     false, false, TargetFamily::Bundle, findContainerPreferences},
    {EntryKind::SafariExtras, "safari_extras", "Safari's last session and adware",
     "Library/Safari/LastSession.plist and Library/Application Support/osxDownloader", "Library",
     "those two names only, for Safari", kFromTrash, ReportList::Settings, false, true, false,
     TargetFamily::Bundle, findExtras},
    {EntryKind::SavedState, "saved_state", "Saved window state", "Library/Saved Application State",
     "Library", "ID.savedState and what lies in it", kFromTrash, ReportList::WindowState, false,
     false, false, TargetFamily::Bundle, findSavedState},
    {EntryKind::ContainerSavedState, "container_saved_state", "Sandbox window state",
     "Library/Containers/ID/Data/Library/Saved Application State", "Library/Containers/ID",
     "everything: the container is the application's alone", kFromTrash, ReportList::WindowState,
     false, false, false, TargetFamily::Bundle, findContainerSavedState},
    {EntryKind::HardReset, "hard_reset", "Safari's data (Hard reset)",
     "Library/Safari, Library/Caches, Library/Cookies and the shared cookie store", "Library",
     "the whole Safari folder; in Caches and Cookies the own names above, letter case ignored",
     "put back from the Trash by Restore; the cookies from the store's copy in the Trash",
     ReportList::HardReset, false, true, true, TargetFamily::Bundle, nullptr},
    {EntryKind::FlatpakConfig, "flatpak_config", "Flatpak settings", ".var/app/ID/config",
     ".var/app/ID", kSandboxOwn, kFromTrash, ReportList::Settings, false, false, false,
     TargetFamily::LinuxApplication, findFlatpakConfig},
    {EntryKind::FlatpakState, "flatpak_state", "Flatpak window and session state",
     ".var/app/ID/.local/state", ".var/app/ID", kSandboxOwn, kFromTrash, ReportList::WindowState,
     false, false, false, TargetFamily::LinuxApplication, findFlatpakState},
    {EntryKind::FlatpakCache, "flatpak_cache", "Flatpak cache", ".var/app/ID/cache", ".var/app/ID",
     kSandboxOwn, kFromTrash, ReportList::Settings, false, false, false,
     TargetFamily::LinuxApplication, findFlatpakCache},
    {EntryKind::XdgConfig, "xdg_config", "Settings folder", "$XDG_CONFIG_HOME/ID (~/.config/ID)",
     "$XDG_CONFIG_HOME", kBaseOwn, kFromTrash, ReportList::Settings, false, false, false,
     TargetFamily::LinuxApplication, findXdgConfig},
    {EntryKind::XdgState, "xdg_state", "State folder", "$XDG_STATE_HOME/ID (~/.local/state/ID)",
     "$XDG_STATE_HOME", kBaseOwn, kFromTrash, ReportList::WindowState, false, false, false,
     TargetFamily::LinuxApplication, findXdgState},
    {EntryKind::XdgCache, "xdg_cache", "Cache folder", "$XDG_CACHE_HOME/ID (~/.cache/ID)",
     "$XDG_CACHE_HOME", kBaseOwn, kFromTrash, ReportList::Settings, false, false, false,
     TargetFamily::LinuxApplication, findXdgCache},
    {EntryKind::GSettings, "gsettings", "Desktop settings (dconf)",
     "dconf /ID/ (dots as slashes) and its schemas' paths", "",
     "the folder /ID/ and the paths of the schemas whose id is ID or begins with ID and a dot, "
     "without the folders of other installed applications inside them",
     "each folder's keys, kept in the record, written back by Restore as one change",
     ReportList::Settings, false, false, false, TargetFamily::LinuxApplication, nullptr},
}};

unsigned bit(EntryKind kind) {
    return 1U << static_cast<unsigned>(kind);
}

} // namespace

std::span<const KindRow> kindTable() {
    return kKinds;
}

std::string kindRootFolder(const KindRow& row, const FileSystem& fs, const std::string& home) {
    std::string_view root = row.root;
    std::string folder = home;
    for (const auto& [variable, base] :
         {std::pair{std::string_view("$XDG_CONFIG_HOME"), BaseFolder::Config},
          std::pair{std::string_view("$XDG_STATE_HOME"), BaseFolder::State},
          std::pair{std::string_view("$XDG_CACHE_HOME"), BaseFolder::Cache}}) {
        if (root.starts_with(variable)) {
            folder = baseFolder(fs, home, base);
            root.remove_prefix(variable.size());
        }
    }
    // The part above "ID" holds every target's root.
    while (!root.empty()) {
        root.remove_prefix(root.front() == '/' ? 1 : 0);
        const std::string_view step = root.substr(0, root.find('/'));
        if (step == "ID") {
            break;
        }
        folder = appendPathComponent(folder, std::string(step));
        root.remove_prefix(step.size());
    }
    return folder;
}

const KindRow& kindRow(EntryKind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

std::optional<EntryKind> kindWithId(std::string_view id) {
    for (const KindRow& row : kKinds) {
        if (row.id == id) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::string kindIds() {
    std::string ids;
    for (const KindRow& row : kKinds) {
        ids += (ids.empty() ? "" : ", ") + std::string(row.id);
    }
    return ids;
}

KindSelection KindSelection::only(const std::vector<EntryKind>& kinds) {
    KindSelection selection;
    for (const KindRow& row : kKinds) {
        selection.choose(row.kind, std::find(kinds.begin(), kinds.end(), row.kind) != kinds.end());
    }
    return selection;
}

bool KindSelection::chosen(EntryKind kind) const {
    return (m_unchosen & bit(kind)) == 0;
}

void KindSelection::choose(EntryKind kind, bool chosen) {
    m_unchosen = chosen ? m_unchosen & ~bit(kind) : m_unchosen | bit(kind);
}

bool KindSelection::all() const {
    return m_unchosen == 0;
}

bool KindSelection::clearsDomain() const {
    return std::any_of(kKinds.begin(), kKinds.end(),
                       [this](const KindRow& row) { return row.clearsDomain && chosen(row.kind); });
}

std::vector<std::string> KindSelection::ids() const {
    std::vector<std::string> ids;
    for (const KindRow& row : kKinds) {
        if (chosen(row.kind)) {
            ids.emplace_back(row.id);
        }
    }
    return ids;
}

ParsedKinds parseKindList(std::string_view list) {
    ParsedKinds parsed;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view id = list.substr(0, comma);
        const std::optional<EntryKind> kind = kindWithId(id);
        if (!kind) {
            parsed.unknown = std::string(id);
            return parsed;
        }
        if (std::find(parsed.kinds.begin(), parsed.kinds.end(), *kind) == parsed.kinds.end()) {
            parsed.kinds.push_back(*kind);
        }
        if (comma == std::string_view::npos) {
            return parsed;
        }
        list.remove_prefix(comma + 1);
    }
}

} // namespace corvane
