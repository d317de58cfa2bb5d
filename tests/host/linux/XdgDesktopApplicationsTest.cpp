#include "host/linux/XdgDesktopApplications.h"

#include "DconfSession.h"
#include "core/linuxapps/InstalledApplications.h"
#include "core/linuxapps/SettingsFolders.h"
#include "host/posix/ChildProcess.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

std::string desktopFile(const std::string& name, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=/usr/bin/" + name +
           " %U\nIcon=" + name + "\n" + extra;
}

TEST(XdgDesktopApplications, ReadsEveryDesktopFileOfTheFoldersInTheirOrder) {
    const std::string root = temporaryFolder("apps");
    const std::string user = root + "/user/applications";
    const std::string system = root + "/system/applications";
    writeFile(user + "/org.example.Editor.desktop", desktopFile("editor-user"));
    writeFile(system + "/org.example.Editor.desktop", desktopFile("editor-system"));
    writeFile(system + "/kde/org.example.Nested.desktop", desktopFile("nested"));
    writeFile(system + "/mimeinfo.cache", "[MIME Cache]\n");
    writeFile(root + "/elsewhere/real.desktop", desktopFile("linked"));
    fs::create_symlink(root + "/elsewhere/real.desktop", system + "/org.example.Linked.desktop");
    // A folder that leads back up is not walked into.
    fs::create_directory_symlink(system, system + "/loop");
    fs::create_directory(system + "/broken.desktop");

    const XdgDesktopApplications host;
    const std::vector<DesktopFileText> files =
        host.desktopFiles({user, root + "/missing/applications", system}, {});
    std::vector<std::string> seen;
    for (const DesktopFileText& file : files) {
        seen.push_back(std::to_string(file.directoryIndex) + ":" + file.relativePath);
        EXPECT_EQ(file.path, (file.directoryIndex == 0 ? user : system) + "/" + file.relativePath);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "0:org.example.Editor.desktop", "2:kde/org.example.Nested.desktop",
                        "2:org.example.Editor.desktop", "2:org.example.Linked.desktop"}));

    const ApplicationList list = installedApplications(files);
    ASSERT_EQ(list.applications.size(), 3u);
    EXPECT_EQ(list.applications[0].execProgram, "/usr/bin/editor-user");
    EXPECT_EQ(list.applications[1].name, "linked");
    EXPECT_EQ(list.applications[2].id, "kde-org.example.Nested");

    // Asked for some, the others are named unread, and nothing that is no file is named.
    const std::vector<DesktopFileText> some = host.desktopFiles(
        {user, system}, [](std::string_view relative) { return relative.starts_with("org."); });
    std::vector<std::string> named;
    for (const DesktopFileText& file : some) {
        EXPECT_EQ(file.read, file.relativePath.starts_with("org.")) << file.relativePath;
        EXPECT_EQ(file.text.empty(), !file.read) << file.relativePath;
        named.push_back(std::to_string(file.directoryIndex) + ":" + file.relativePath);
    }
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, (std::vector<std::string>{
                         "0:org.example.Editor.desktop", "1:kde/org.example.Nested.desktop",
                         "1:org.example.Editor.desktop", "1:org.example.Linked.desktop"}));
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string schemaXml(const std::string& id, const std::string& path) {
    const std::string pathAttribute = path.empty() ? "" : " path=\"" + path + "\"";
    return "<schemalist>\n  <schema id=\"" + id + "\"" + pathAttribute +
           ">\n    <key name=\"k\" type=\"b\"><default>false</default></key>\n  </schema>\n"
           "</schemalist>\n";
}

bool compileSchemas(const std::string& dir) {
    const ChildResult result = runChildProcess("/usr/bin/glib-compile-schemas", {dir},
                                               {std::chrono::seconds(30), std::nullopt});
    return result.exitStatus == 0;
}

TEST(XdgDesktopApplications, SchemasWithAPathFromEveryCompiledFolder) {
    const std::string root = temporaryFolder("schemas");
    const std::string user = root + "/user/glib-2.0/schemas";
    const std::string system = root + "/system/glib-2.0/schemas";
    writeFile(system + "/org.gnome.TextEditor.gschema.xml",
              schemaXml("org.gnome.TextEditor", "/org/gnome/TextEditor/"));
    writeFile(system + "/org.gnome.TextEditor.Devel.gschema.xml",
              schemaXml("org.gnome.TextEditor.Devel", "/org/gnome/TextEditor/Devel/"));
    writeFile(system + "/org.gnome.TextEditor.plugin.gschema.xml",
              schemaXml("org.gnome.TextEditor.plugin", ""));
    writeFile(user + "/org.gnome.texteditor.gschema.xml",
              schemaXml("org.gnome.texteditor.old", "/org/gnome/texteditor-old/"));
    writeFile(user + "/org.gnome.TextEditor.spell.gschema.xml",
              schemaXml("org.gnome.TextEditor.spell", "/org/gnome/spell/"));
    ASSERT_TRUE(compileSchemas(system));
    ASSERT_TRUE(compileSchemas(user));

    const XdgDesktopApplications host({user, root + "/none/glib-2.0/schemas", system});
    const Result<std::vector<InstalledSchema>> schemas = host.installedSchemas();
    ASSERT_TRUE(schemas.ok()) << schemas.error().reason;
    std::vector<std::string> seen;
    for (const InstalledSchema& schema : *schemas) {
        seen.push_back(schema.id + "=" + schema.path);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "org.gnome.TextEditor.Devel=/org/gnome/TextEditor/Devel/",
                        "org.gnome.TextEditor.spell=/org/gnome/spell/",
                        "org.gnome.TextEditor=/org/gnome/TextEditor/",
                        "org.gnome.texteditor.old=/org/gnome/texteditor-old/",
                    }));

    const ApplicationSettingsFolders folders = applicationSettingsFolders(
        "org.gnome.TextEditor", *schemas, {"org.gnome.TextEditor.Devel"});
    EXPECT_EQ(folders.folders, (std::vector<SettingsFolder>{
                                   {"/org/gnome/TextEditor/", {"/org/gnome/TextEditor/Devel/"}},
                                   {"/org/gnome/spell/", {}}}));

    writeFile(root + "/bad/gschemas.compiled", "not a database");
    EXPECT_FALSE(XdgDesktopApplications({root + "/bad"}).installedSchemas().ok());
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

} // namespace
} // namespace corvane::testing
