#include "host/posix/HostWorkspace.h"

#include "host/posix/HostFileSystem.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

const std::string kPlist = xmlInfoPlist({{"CFBundleIdentifier", "com.example.A"}});

TEST(HostWorkspace, SearchesTheStandardFoldersThenTheUsersOwn) {
    TempHome home;
    const HostFileSystem fs;
    const std::vector<std::string> folders = HostWorkspace(fs).applicationFolders();
    EXPECT_EQ(folders, (std::vector<std::string>{
                           "/Applications", "/Applications/Utilities", "/System/Applications",
                           "/System/Applications/Utilities", "/System/Library/CoreServices",
                           home.path() + "/Applications"}));
    // A home that cannot be used adds no folder of its own.
    setenv("HOME", "/", 1);
    EXPECT_EQ(HostWorkspace(fs).applicationFolders().size(), 5u);
}

TEST(HostWorkspace, FindsABundleByNameWithOrWithoutExtensionFirstFolderWins) {
    TempHome home;
    const HostFileSystem fs;
    const std::string first = home.path() + "/first";
    const std::string second = home.path() + "/second";
    makeBundle(second, "Editor.app", kPlist);
    makeBundle(second, "Viewer.app", kPlist);
    makeBundle(first, "Viewer.app", kPlist);
    const HostWorkspace workspace(fs, {first, second});

    EXPECT_EQ(workspace.fullPathForApplication("Editor.app"), second + "/Editor.app");
    EXPECT_EQ(workspace.fullPathForApplication("Editor"), second + "/Editor.app");
    EXPECT_EQ(workspace.fullPathForApplication("Viewer.app"), first + "/Viewer.app");
    EXPECT_FALSE(workspace.fullPathForApplication("Missing.app"));
    EXPECT_FALSE(workspace.fullPathForApplication("Editor.app.app"));
}

TEST(HostWorkspace, OnlyBundlesDirectlyInsideCount) {
    TempHome home;
    const HostFileSystem fs;
    const std::string apps = home.path() + "/apps";
    home.file("apps/Note.app", "a file, not a bundle");
    home.folder("apps/Hollow.app/Contents");
    makeBundle(apps + "/Sub", "Deep.app", kPlist);
    makeBundle(home.path() + "/elsewhere", "Real.app", kPlist);
    std::filesystem::create_directory_symlink(home.path() + "/elsewhere/Real.app",
                                              apps + "/Linked.app");
    const HostWorkspace workspace(fs, {apps});

    EXPECT_FALSE(workspace.fullPathForApplication("Note.app"));
    EXPECT_FALSE(workspace.fullPathForApplication("Hollow.app"));
    EXPECT_FALSE(workspace.fullPathForApplication("Deep.app"));
    EXPECT_EQ(workspace.fullPathForApplication("Linked.app"), apps + "/Linked.app");
}

TEST(HostWorkspace, NamesThatAreNotAFileNameFindNothing) {
    TempHome home;
    const HostFileSystem fs;
    makeBundle(home.path() + "/apps/Sub", "Deep.app", kPlist);
    makeBundle(home.path(), "Up.app", kPlist);
    const HostWorkspace workspace(fs, {home.path() + "/apps"});
    for (const std::string name : {"", ".", "..", "Sub/Deep.app", "../Up.app", "/Up.app"}) {
        EXPECT_FALSE(workspace.fullPathForApplication(name)) << name;
    }
}

} // namespace
} // namespace corvane::testing
