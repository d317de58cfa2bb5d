#pragma once

#include "core/analysis/Discovery.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Every kind of entry a reset can take. The order is the order the report lists them in.
enum class EntryKind {
    Preferences,
    ContainerPreferences,
    SafariExtras,
    SavedState,
    ContainerSavedState,
    HardReset,
    FlatpakConfig,
    FlatpakState,
    FlatpakCache,
    XdgConfig,
    XdgState,
    XdgCache,
    GSettings,
};

// What a kind belongs to: an application bundle's Library folders, or the folders a Linux
// desktop application names by its application id.
enum class TargetFamily { Bundle, LinuxApplication };

// Which list of the report a kind's entries join: the settings list, the window-state list, or
// the Hard reset's own.
enum class ReportList { Settings, WindowState, HardReset };

// What a kind's finder is given.
struct KindSearch {
    const FileSystem& fs;
    const UserFolders& folders;
    std::string_view identifier;
    const Tick& tick;
};

// One row of the table of kinds: everything the program knows about a kind in one place.
struct KindRow {
    EntryKind kind;
    std::string_view id;    // as --only, JSON and the records spell it
    std::string_view label; // beside its check box in the window
    std::string_view where; // where it looks, relative to the home
    // The folder its entries must stay inside, relative to the home or a $XDG_*_HOME; empty for
    // a kind whose entries are no files.
    std::string_view root;
    std::string_view ownNames; // which names in that folder are the target's own
    std::string_view undo;     // how Restore undoes it
    ReportList list;
    bool clearsDomain;  // choosing it clears the target's preferences domain
    bool safariOnly;    // looked for only when the target is Safari
    bool hardResetOnly; // looked for only in a Hard Safari reset
    TargetFamily family;
    // Finds the kind's entries; none for the Hard reset, whose preview finds them, and for the
    // settings database's folders, which the plan reads through its own port.
    FolderSearch (*find)(const KindSearch& search);
};

std::span<const KindRow> kindTable();
// The folder a row's root lies in for every target ("ID" and what follows it left out), as an
// absolute path below `home` or the base folder it names.
std::string kindRootFolder(const KindRow& row, const FileSystem& fs, const std::string& home);
const KindRow& kindRow(EntryKind kind);
std::optional<EntryKind> kindWithId(std::string_view id);
// "preferences, saved_state, ...", for a sentence naming them.
std::string kindIds();

// Which kinds a reset takes; every kind unless narrowed.
class KindSelection {
public:
    KindSelection() = default;
    static KindSelection only(const std::vector<EntryKind>& kinds);

    bool chosen(EntryKind kind) const;
    void choose(EntryKind kind, bool chosen);
    bool all() const;
    // True when a chosen kind clears the preferences domain.
    bool clearsDomain() const;
    // The chosen kinds' ids in table order.
    std::vector<std::string> ids() const;

private:
    unsigned m_unchosen = 0; // a bit per kind left out
};

// The kinds named in "a,b,c", or the first name that is no kind.
struct ParsedKinds {
    std::vector<EntryKind> kinds;
    std::optional<std::string> unknown;
};
ParsedKinds parseKindList(std::string_view list);

} // namespace corvane
