#include "core/linuxapps/SettingsFolders.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

TEST(SettingsFolders, DefaultFolderIsTheIdWithSlashes) {
    EXPECT_EQ(defaultSettingsFolder("org.gnome.TextEditor"), "/org/gnome/TextEditor/");
    EXPECT_EQ(defaultSettingsFolder("vlc"), "/vlc/");
}

TEST(SettingsFolders, OwnSchemasAndFoldersOthersLeftOut) {
    const std::vector<InstalledSchema> schemas = {
        {"org.gnome.TextEditor", "/org/gnome/TextEditor/"},
        {"org.gnome.TextEditor.plugins", "/org/gnome/TextEditor/plugins/"},
        {"org.gnome.TextEditor.Devel", "/org/gnome/TextEditor/Devel/"},
        {"org.gnome.TextEditor.Devel.extra", "/org/gnome/te-devel-extra/"},
        {"org.gnome.Nautilus", "/org/gnome/nautilus/"},
        {"org.gnome.Nautilus.preferences", "/org/gnome/nautilus/preferences/"},
        {"org.gnome.NautilusExtra", "/org/gnome/nautilus-extra/"},
        {"org.gnome.nautilus.compat", "/org/gnome/nautilus-compat/"},
        {"org.gnome.Nautilus.window-state", "/org/gnome/nautilus/window-state/"},
        {"org.gnome.Nautilus.shared", "/org/gnome/shared-place/"},
        {"org.other.App", "/org/gnome/shared-place/"},
        {"org.gnome.Nautilus.bad", "no/slash"},
    };
    const std::vector<std::string> installed = {"org.gnome.TextEditor",
                                                "org.gnome.TextEditor.Devel", "org.gnome.Nautilus",
                                                "org.other.App"};
    struct Case {
        const char* id;
        std::vector<SettingsFolder> folders;
        std::vector<std::string> shared;
    };
    const Case cases[] = {
        // The Devel variant's folder inside the stable one's is its own; its schema elsewhere
        // is not the stable one's.
        {"org.gnome.TextEditor",
         {{"/org/gnome/TextEditor/", {"/org/gnome/TextEditor/Devel/"}}},
         {}},
        {"org.gnome.TextEditor.Devel",
         {{"/org/gnome/TextEditor/Devel/", {}}, {"/org/gnome/te-devel-extra/", {}}},
         {}},
        // Schema paths count whatever they are called; a longer id and a case variant do not
        // belong; nested paths collapse into the outer folder; a folder another application
        // also claims is nobody's to reset.
        {"org.gnome.Nautilus",
         {{"/org/gnome/Nautilus/", {}}, {"/org/gnome/nautilus/", {}}},
         {"/org/gnome/shared-place/"}},
        {"org.gnome.Text", {{"/org/gnome/Text/", {}}}, {}},
        {"vlc", {{"/vlc/", {}}}, {}},
    };
    for (const Case& c : cases) {
        const ApplicationSettingsFolders result =
            applicationSettingsFolders(c.id, schemas, installed);
        EXPECT_EQ(result.folders, c.folders) << c.id;
        EXPECT_EQ(result.shared, c.shared) << c.id;
    }
}

TEST(SettingsFolders, OnlyTheOutermostFolderOfAnotherApplicationIsExcluded) {
    const std::vector<InstalledSchema> schemas = {
        {"org.example.App.Devel", "/org/example/App/Devel/"},
        {"org.example.App.Devel.sub", "/org/example/App/Devel/sub/"},
    };
    const ApplicationSettingsFolders result = applicationSettingsFolders(
        "org.example.App", schemas, {"org.example.App.Devel", "org.example.App.Devel.sub"});
    ASSERT_EQ(result.folders.size(), 1u);
    EXPECT_EQ(result.folders[0].excludedSubfolders,
              std::vector<std::string>{"/org/example/App/Devel/"});
}

} // namespace
} // namespace corvane::testing
