#include "core/UserFolders.h"
#include "core/analysis/TargetPlan.h"
#include "support/EnvironmentFileSystem.h"
#include "support/TempHome.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEditor = "org.gnome.TextEditor";

// GNOME Text Editor as a Flatpak and as a host package, with the folders that are its documents
// and the folders of a longer id beside it.
void giveEditorLayout(const TempHome& home) {
    for (const char* file :
         {".var/app/org.gnome.TextEditor/config/glib-2.0/settings/keyfile",
          ".var/app/org.gnome.TextEditor/.local/state/org.gnome.TextEditor/session.gvariant",
          ".var/app/org.gnome.TextEditor/cache/thumbs", ".var/app/org.gnome.TextEditor/data/drafts",
          ".var/app/org.gnome.TextEditor.Devel/config/keyfile", ".config/org.gnome.TextEditor/a",
          ".config/org.gnome.texteditor/b", ".config/org.gnome.TextEditor.Devel/c",
          ".local/share/org.gnome.TextEditor/drafts/d", ".local/state/org.gnome.TextEditor/s",
          ".cache/org.gnome.TextEditor/c"}) {
        home.file(file);
    }
}

struct Found {
    std::vector<std::pair<std::string, std::string>> entries; // kind id, path below the home
    std::vector<SkippedFolder> skipped;
};

Found plan(const FileSystem& fileSystem, const std::string& home, const std::string& id,
           LinuxPackage package = LinuxPackage::Any) {
    const TargetPlan planned =
        planTarget({id, false, TargetFamily::LinuxApplication, package}, fileSystem,
                   UserFolders{home, home + "/Library"}, nullptr);
    Found found;
    for (const PlannedEntry& entry : planned.entries) {
        EXPECT_EQ(entry.shown, entry.path.substr(home.size() + 1));
        found.entries.emplace_back(kindRow(entry.kind).id, entry.shown);
    }
    found.skipped = planned.skipped;
    return found;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

const Entries kEditorEntries = {
    {"flatpak_config", ".var/app/org.gnome.TextEditor/config"},
    {"flatpak_config", ".var/app/org.gnome.TextEditor/config/glib-2.0"},
    {"flatpak_config", ".var/app/org.gnome.TextEditor/config/glib-2.0/settings"},
    {"flatpak_config", ".var/app/org.gnome.TextEditor/config/glib-2.0/settings/keyfile"},
    {"flatpak_state", ".var/app/org.gnome.TextEditor/.local/state"},
    {"flatpak_state", ".var/app/org.gnome.TextEditor/.local/state/org.gnome.TextEditor"},
    {"flatpak_state",
     ".var/app/org.gnome.TextEditor/.local/state/org.gnome.TextEditor/session.gvariant"},
    {"flatpak_cache", ".var/app/org.gnome.TextEditor/cache"},
    {"flatpak_cache", ".var/app/org.gnome.TextEditor/cache/thumbs"},
    {"xdg_config", ".config/org.gnome.TextEditor"},
    {"xdg_config", ".config/org.gnome.TextEditor/a"},
    {"xdg_state", ".local/state/org.gnome.TextEditor"},
    {"xdg_state", ".local/state/org.gnome.TextEditor/s"},
    {"xdg_cache", ".cache/org.gnome.TextEditor"},
    {"xdg_cache", ".cache/org.gnome.TextEditor/c"},
};

Entries withoutKinds(const Entries& entries, const std::vector<std::string>& kinds) {
    Entries kept;
    for (const auto& entry : entries) {
        if (std::find(kinds.begin(), kinds.end(), entry.first) == kinds.end()) {
            kept.push_back(entry);
        }
    }
    return kept;
}

// A Flatpak and a host package of one id are two targets, each with its own folders.
TEST(LinuxApplicationFolders, EachPackageTakesItsOwnFolders) {
    TempHome home;
    const std::string canonical = fs::canonical(home.path()).string();
    giveEditorLayout(home);
    const EnvironmentFileSystem fileSystem;
    const std::pair<LinuxPackage, Entries> cases[] = {
        {LinuxPackage::Any, kEditorEntries},
        {LinuxPackage::Flatpak,
         withoutKinds(kEditorEntries, {"xdg_config", "xdg_state", "xdg_cache"})},
        {LinuxPackage::Host,
         withoutKinds(kEditorEntries, {"flatpak_config", "flatpak_state", "flatpak_cache"})},
    };
    for (const auto& [package, entries] : cases) {
        EXPECT_EQ(plan(fileSystem, canonical, kEditor, package).entries, entries)
            << static_cast<int>(package);
    }
}

TEST(LinuxApplicationFolders, OnlyTheFoldersNamedExactlyByTheIdAreFound) {
    struct Case {
        const char* what;
        std::string id = kEditor;
        std::function<void(const TempHome&, EnvironmentFileSystem&)> arrange;
        Entries entries;
        std::vector<SkippedFolder> skipped;
    };
    const std::vector<Case> cases = {
        {"the whole layout: never data, never a longer id or another letter case",
         kEditor,
         [](const TempHome&, EnvironmentFileSystem&) {},
         kEditorEntries,
         {}},
        {"an id without a dot names nothing of its own; its folders are named, once each",
         "gedit",
         [](const TempHome& home, EnvironmentFileSystem&) {
             home.file(".var/app/gedit/config/x");
             home.file(".var/app/gedit/cache/x");
             home.file(".config/gedit/x");
         },
         {},
         {{".var/app/gedit", SkippedFolder::Reason::GenericName},
          {".config/gedit", SkippedFolder::Reason::GenericName}}},
        {"a sandbox folder that is a link",
         kEditor,
         [](const TempHome& home, EnvironmentFileSystem&) {
             fs::rename(home.path() + "/.var/app/org.gnome.TextEditor", home.path() + "/moved");
             fs::create_directory_symlink(home.path() + "/moved",
                                          home.path() + "/.var/app/org.gnome.TextEditor");
         },
         withoutKinds(kEditorEntries, {"flatpak_config", "flatpak_state", "flatpak_cache"}),
         {{".var/app/org.gnome.TextEditor", SkippedFolder::Reason::Link}}},
        {"a settings folder that is a link",
         kEditor,
         [](const TempHome& home, EnvironmentFileSystem&) {
             fs::remove_all(home.path() + "/.config/org.gnome.TextEditor");
             fs::create_directory_symlink(home.path() + "/.config/org.gnome.texteditor",
                                          home.path() + "/.config/org.gnome.TextEditor");
         },
         withoutKinds(kEditorEntries, {"xdg_config"}),
         {{".config/org.gnome.TextEditor", SkippedFolder::Reason::Link}}},
        {"moved base folders are searched instead of the defaults",
         kEditor,
         [](const TempHome& home, EnvironmentFileSystem& fileSystem) {
             home.file("xdg/config/org.gnome.TextEditor/moved");
             fileSystem.values["XDG_CONFIG_HOME"] = home.path() + "/xdg/config/";
             fileSystem.values["XDG_CACHE_HOME"] = "relative/cache"; // ignored, as unset
         },
         [] {
             Entries entries =
                 withoutKinds(kEditorEntries, {"xdg_config", "xdg_state", "xdg_cache"});
             entries.insert(entries.end(), {{"xdg_config", "xdg/config/org.gnome.TextEditor"},
                                            {"xdg_config", "xdg/config/org.gnome.TextEditor/moved"},
                                            {"xdg_state", ".local/state/org.gnome.TextEditor"},
                                            {"xdg_state", ".local/state/org.gnome.TextEditor/s"},
                                            {"xdg_cache", ".cache/org.gnome.TextEditor"},
                                            {"xdg_cache", ".cache/org.gnome.TextEditor/c"}});
             return entries;
         }(),
         {}},
        {"a base folder that leads out of the home",
         kEditor,
         [](const TempHome& home, EnvironmentFileSystem& fileSystem) {
             fs::create_directories(home.path() + ".elsewhere/org.gnome.TextEditor");
             fs::create_directory_symlink(home.path() + ".elsewhere", home.path() + "/cachelink");
             fileSystem.values["XDG_CACHE_HOME"] = home.path() + "/cachelink";
         },
         withoutKinds(kEditorEntries, {"xdg_cache"}),
         {{"cachelink", SkippedFolder::Reason::LeadsOutsideHome}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home;
        const std::string canonical = fs::canonical(home.path()).string();
        EnvironmentFileSystem fileSystem;
        giveEditorLayout(home);
        c.arrange(home, fileSystem);
        const Found found = plan(fileSystem, canonical, c.id);
        EXPECT_EQ(found.entries, c.entries);
        EXPECT_EQ(found.skipped, c.skipped);
        fs::remove_all(canonical + ".elsewhere");
    }
}

} // namespace
} // namespace corvane::testing
