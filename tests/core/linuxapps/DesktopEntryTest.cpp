#include "core/linuxapps/DesktopEntry.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

TEST(DesktopEntry, ReadsTheApplicationsKeysOfItsOwnGroupOnly) {
    const auto entry = parseDesktopEntry("# comment\n"
                                         "[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name = Text Editor\n"
                                         "Name[de]=Texteditor\n"
                                         "Icon=org.gnome.TextEditor\n"
                                         "Exec=\"/opt/my apps/editor\" --new-window %U\n"
                                         "TryExec=gnome-text-editor\n"
                                         "X-Flatpak=org.gnome.TextEditor\n"
                                         "NoDisplay=true\n"
                                         "[Desktop Action new-window]\n"
                                         "Name=New Window\n"
                                         "Exec=other\n");
    ASSERT_TRUE(entry.ok()) << entry.error().reason;
    EXPECT_EQ(entry->name, "Text Editor");
    EXPECT_EQ(entry->icon, "org.gnome.TextEditor");
    EXPECT_EQ(entry->execProgram, "/opt/my apps/editor");
    EXPECT_EQ(entry->tryExec, "gnome-text-editor");
    EXPECT_EQ(entry->flatpakId, "org.gnome.TextEditor");
    EXPECT_TRUE(entry->noDisplay);
    EXPECT_FALSE(entry->hidden);
}

TEST(DesktopEntry, RefusesWhatIsNoApplication) {
    const char* const cases[] = {
        "",
        "[Desktop Action x]\nType=Application\nName=A\n",
        "[Desktop Entry]\nType=Link\nName=A\nURL=https://example.org\n",
        "[Desktop Entry]\nName=A\n",
        "[Desktop Entry]\nType=Application\n",
        "[Desktop Entry]\nType=Application\nName=\n",
        // Keys before any group belong to none.
        "Type=Application\nName=A\n[Desktop Entry]\n",
        // A second copy of the group does not complete the first.
        "[Desktop Entry]\nType=Application\n[Other]\n[Desktop Entry]\nName=A\n",
    };
    for (const char* text : cases) {
        const auto entry = parseDesktopEntry(text);
        EXPECT_FALSE(entry.ok()) << text;
        if (!entry.ok()) {
            EXPECT_FALSE(entry.error().reason.empty());
        }
    }
}

TEST(DesktopEntry, AHiddenEntryIsReadEvenWithoutTheKeysOfAnApplication) {
    const auto entry = parseDesktopEntry("[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(entry.ok());
    EXPECT_TRUE(entry->hidden);
}

TEST(DesktopEntry, ValuesAreUnescapedAndOnlyTrueIsTrue) {
    const auto entry = parseDesktopEntry("[Desktop Entry]\nType=Application\n"
                                         "Name=\\sTab\\there\\\\now\nNoDisplay=True\n");
    ASSERT_TRUE(entry.ok());
    EXPECT_EQ(entry->name, " Tab\there\\now");
    EXPECT_FALSE(entry->noDisplay);
}

TEST(DesktopEntry, ExecProgramIsTheFirstWordUnquoted) {
    const std::pair<const char*, const char*> cases[] = {
        {"gedit %U", "gedit"},
        {"  /usr/bin/vlc --started-from-file %U", "/usr/bin/vlc"},
        {"\"/opt/A \\\"B\\\"/run\" %f", "/opt/A \"B\"/run"},
        {"/usr/bin/flatpak run --branch=stable org.gnome.TextEditor", "/usr/bin/flatpak"},
        {"", ""},
    };
    for (const auto& [exec, program] : cases) {
        EXPECT_EQ(execProgram(exec), program) << exec;
    }
}

TEST(DesktopEntry, FileIdIsThePathBelowApplicationsWithDashes) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"org.gnome.TextEditor.desktop", "org.gnome.TextEditor"},
        {"kde/konsole.desktop", "kde-konsole"},
        {"a/b/c.desktop", "a-b-c"},
        {"vlc.desktop", "vlc"},
        {"mimeinfo.cache", std::nullopt},
        {".desktop", std::nullopt},
        {"x.desktop.bak", std::nullopt},
    };
    for (const auto& [path, id] : cases) {
        EXPECT_EQ(desktopFileId(path), id) << path;
    }
}

} // namespace
} // namespace corvane::testing
