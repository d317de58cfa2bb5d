#include "core/linuxapps/InstalledApplications.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

std::string app(const std::string& name, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name + "\n" + extra;
}

DesktopFileText file(std::size_t dir, const std::string& relative, const std::string& text) {
    return {dir, relative, "/d" + std::to_string(dir) + "/" + relative, text};
}

const InstalledApplication* find(const ApplicationList& list, const std::string& id, bool flatpak) {
    for (const InstalledApplication& a : list.applications) {
        if (a.id == id && a.flatpak == flatpak) {
            return &a;
        }
    }
    return nullptr;
}

TEST(ApplicationDirectories, FollowTheEnvironmentThenAddFlatpakExportsOnce) {
    struct Case {
        std::optional<std::string> dataHome;
        std::optional<std::string> dataDirs;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {std::nullopt,
         std::nullopt,
         {"/h/.local/share/applications", "/usr/local/share/applications",
          "/usr/share/applications", "/h/.local/share/flatpak/exports/share/applications",
          "/var/lib/flatpak/exports/share/applications"}},
        // Relative entries are ignored, duplicates and trailing slashes fold.
        {"/x/data",
         "/h/.local/share/flatpak/exports/share/:relative:/usr/share:/usr/share/",
         {"/x/data/applications", "/h/.local/share/flatpak/exports/share/applications",
          "/usr/share/applications", "/var/lib/flatpak/exports/share/applications"}},
        {"relative",
         "",
         {"/h/.local/share/applications", "/usr/local/share/applications",
          "/usr/share/applications", "/h/.local/share/flatpak/exports/share/applications",
          "/var/lib/flatpak/exports/share/applications"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(applicationDirectories("/h", c.dataHome, c.dataDirs), c.expected)
            << c.dataDirs.value_or("(unset)");
    }
}

TEST(ApplicationIdFit, FollowsTheIdentifierPolicyAndFlagsOneWordIds) {
    const std::pair<const char*, ApplicationIdFit> cases[] = {
        {"org.gnome.TextEditor", ApplicationIdFit::Own},
        {"org.videolan.VLC", ApplicationIdFit::Own},
        {"vlc", ApplicationIdFit::TooGeneric},
        {"gnome-system-monitor_kde", ApplicationIdFit::TooGeneric},
        {"", ApplicationIdFit::Rejected},
        {"-vlc", ApplicationIdFit::Rejected},
        {"org..gnome", ApplicationIdFit::Rejected},
        {"org.gnome.", ApplicationIdFit::Rejected},
        {"org gnome.x", ApplicationIdFit::Rejected},
        {"../../etc", ApplicationIdFit::Rejected},
        {"com.apple.GlobalPreferences", ApplicationIdFit::Rejected},
    };
    for (const auto& [id, fit] : cases) {
        EXPECT_EQ(applicationIdFit(id), fit) << id;
    }
}

TEST(InstalledApplications, FirstFolderWinsPerIdAndHiddenHidesTheId) {
    const ApplicationList list = installedApplications({
        // Read out of order: the folder's index decides, not the order of reading.
        file(1, "org.example.Editor.desktop", app("System Editor")),
        file(0, "org.example.Editor.desktop", app("User Editor")),
        file(0, "org.example.Gone.desktop", "[Desktop Entry]\nHidden=true\n"),
        file(1, "org.example.Gone.desktop", app("Gone")),
        file(2, "org.example.Gone.desktop", app("Gone Flatpak", "X-Flatpak=org.example.Gone\n")),
        file(1, "kde/org.example.Nested.desktop", app("Nested", "NoDisplay=true\n")),
    });
    ASSERT_EQ(list.applications.size(), 2u);
    const InstalledApplication* editor = find(list, "org.example.Editor", false);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->name, "User Editor");
    EXPECT_EQ(editor->desktopFilePath, "/d0/org.example.Editor.desktop");
    const InstalledApplication* nested = find(list, "kde-org.example.Nested", false);
    ASSERT_NE(nested, nullptr);
    EXPECT_TRUE(nested->noDisplay);
    EXPECT_TRUE(list.rejected.empty());
}

TEST(InstalledApplications, AFlatpakAndAHostPackageOfOneIdAreTwoNamedApart) {
    const ApplicationList list = installedApplications({
        file(0, "org.gnome.TextEditor.desktop", app("Text Editor")),
        file(2, "org.gnome.TextEditor.desktop",
             app("Text Editor", "X-Flatpak=org.gnome.TextEditor\n")),
        // The Flatpak's id is its X-Flatpak value, whatever the file is called.
        file(2, "renamed.desktop", app("Clocks", "X-Flatpak=org.gnome.clocks\n")),
    });
    ASSERT_EQ(list.applications.size(), 3u);
    const InstalledApplication* host = find(list, "org.gnome.TextEditor", false);
    const InstalledApplication* flatpak = find(list, "org.gnome.TextEditor", true);
    ASSERT_NE(host, nullptr);
    ASSERT_NE(flatpak, nullptr);
    EXPECT_EQ(host->name, "Text Editor");
    EXPECT_EQ(flatpak->name, "Text Editor (Flatpak)");
    const InstalledApplication* clocks = find(list, "org.gnome.clocks", true);
    ASSERT_NE(clocks, nullptr);
    EXPECT_EQ(clocks->name, "Clocks");
    EXPECT_EQ(clocks->desktopFileId, "renamed");
}

// A reader that takes only the files that can describe one id still knows every id installed:
// the files it only named give their desktop file ids, and no application of their own.
TEST(InstalledApplications, FilesOnlyNamedGiveTheirIdsButNoApplication) {
    const struct {
        const char* relativePath;
        bool describes;
    } cases[] = {
        {"org.example.Editor.desktop", true},      {"org.example.Editor.Viewer.desktop", true},
        {"org.example.EditorPlus.desktop", false}, {"org.example.desktop", false},
        {"kde/org.example.Editor.desktop", false}, {"org.example.Editor.txt", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(canDescribe(c.relativePath, "org.example.Editor"), c.describes) << c.relativePath;
    }

    DesktopFileText named = file(1, "org.example.Editor.Devel.desktop", "");
    named.read = false;
    DesktopFileText bad = file(1, "no id here.desktop", "");
    bad.read = false;
    const std::vector<DesktopFileText> files = {
        file(0, "org.example.Editor.desktop", app("Editor")),
        file(2, "org.example.Editor.Viewer.desktop",
             app("Viewer", "X-Flatpak=org.example.Editor\n")),
        named,
        bad,
    };
    const ApplicationList list = installedApplications(files);
    ASSERT_EQ(list.applications.size(), 2u);
    EXPECT_TRUE(list.rejected.empty());
    std::vector<std::string> ids = installedApplicationIds(files);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"org.example.Editor", "org.example.Editor",
                                             "org.example.Editor.Devel"}));
}

TEST(InstalledApplications, BadFilesAreRejectedWithAReasonAndGenericIdsFlagged) {
    const ApplicationList list = installedApplications({
        file(0, "vlc.desktop", app("VLC")),
        file(0, "broken.desktop", "[Desktop Entry]\nType=Application\n"),
        file(0, "com.apple.GlobalPreferences.desktop", app("Everything")),
        file(0, "org.example.Bad.desktop", app("Bad", "X-Flatpak=../../x\n")),
        file(0, "notes.txt", app("Not a desktop file")),
    });
    ASSERT_EQ(list.applications.size(), 1u);
    EXPECT_EQ(list.applications[0].id, "vlc");
    EXPECT_TRUE(list.applications[0].tooGeneric);
    ASSERT_EQ(list.rejected.size(), 3u);
    for (const RejectedDesktopFile& rejected : list.rejected) {
        EXPECT_FALSE(rejected.reason.empty()) << rejected.path;
    }
    // A rejected file does not hide a valid one of the same id further down.
    const ApplicationList masked = installedApplications({
        file(0, "org.example.A.desktop", "garbage"),
        file(1, "org.example.A.desktop", app("A")),
    });
    ASSERT_EQ(masked.applications.size(), 1u);
    EXPECT_EQ(masked.applications[0].desktopFilePath, "/d1/org.example.A.desktop");
}

TEST(InstalledApplications, SortedByNameIgnoringCase) {
    const ApplicationList list = installedApplications({
        file(0, "org.b.Zed.desktop", app("zed")),
        file(0, "org.a.Alpha.desktop", app("Alpha")),
        file(0, "org.c.Beta.desktop", app("beta")),
    });
    ASSERT_EQ(list.applications.size(), 3u);
    EXPECT_EQ(list.applications[0].name, "Alpha");
    EXPECT_EQ(list.applications[1].name, "beta");
    EXPECT_EQ(list.applications[2].name, "zed");
}

} // namespace
} // namespace corvane::testing
