#include "core/analysis/Kinds.h"

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

constexpr std::string_view kFromTrash = "put back from the Trash by Restore";

const std::array<KindRow, 6> kKinds = {{
    {EntryKind::Preferences, "preferences", "Settings", "Library/Preferences", "Library",
     "ID, ID.plist and its lock and temporary files, what lies in a folder named ID, and "
     "ID.HOST.plist directly in ByHost",
     kFromTrash, ReportList::Settings, true, false, false, findPreferences},
    {EntryKind::ContainerPreferences, "container_preferences", "Sandbox settings",
     "Library/Containers/ID/Data/Library/Preferences", "Library/Containers/ID",
     "everything: the container is the application's alone", kFromTrash, ReportList::Settings, true,
     false, false, findContainerPreferences},
    {EntryKind::SafariExtras, "safari_extras", "Safari's last session and adware",
     "Library/Safari/LastSession.plist and Library/Application Support/osxDownloader", "Library",
     "those two names only, for Safari", kFromTrash, ReportList::Settings, false, true, false,
     findExtras},
    {EntryKind::SavedState, "saved_state", "Saved window state", "Library/Saved Application State",
     "Library", "ID.savedState and what lies in it", kFromTrash, ReportList::WindowState, false,
     false, false, findSavedState},
    {EntryKind::ContainerSavedState, "container_saved_state", "Sandbox window state",
     "Library/Containers/ID/Data/Library/Saved Application State", "Library/Containers/ID",
     "everything: the container is the application's alone", kFromTrash, ReportList::WindowState,
     false, false, false, findContainerSavedState},
    {EntryKind::HardReset, "hard_reset", "Safari's data (Hard reset)",
     "Library/Safari, Library/Caches, Library/Cookies and the shared cookie store", "Library",
     "the whole Safari folder; in Caches and Cookies the own names above, letter case ignored",
     "put back from the Trash by Restore; the cookies from the store's copy in the Trash",
     ReportList::HardReset, false, true, true, nullptr},
}};

unsigned bit(EntryKind kind) {
    return 1U << static_cast<unsigned>(kind);
}

} // namespace

std::span<const KindRow> kindTable() {
    return kKinds;
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
