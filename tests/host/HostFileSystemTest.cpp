#include "host/posix/HostFileSystem.h"

#include "support/TempHome.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane::testing {
namespace {

std::vector<std::string> walkAll(const std::string& root) {
    std::vector<std::string> seen;
    HostFileSystem().walk(root, [&](const std::string& relative) {
        seen.push_back(relative);
        return true;
    });
    return seen;
}

TEST(HostWalk, FolderBeforeContentsSiblingsIgnoringCaseThenBytes) {
    TempHome home;
    home.file("root/b.txt");
    home.file("root/A/z.txt");
    home.file("root/a.txt");
    home.file("root/A.txt");
    home.file("root/c/d/e.txt");
    EXPECT_EQ(walkAll(home.path() + "/root"),
              (std::vector<std::string>{"A", "A/z.txt", "A.txt", "a.txt", "b.txt", "c", "c/d",
                                        "c/d/e.txt"}));
}

TEST(HostWalk, SymlinksAreListedButNeverFollowed) {
    TempHome home;
    home.file("outside/secret.txt");
    home.folder("root");
    std::filesystem::create_directory_symlink(home.path() + "/outside", home.path() + "/root/link");
    std::filesystem::create_directory_symlink(home.path() + "/root", home.path() + "/root/loop");
    EXPECT_EQ(walkAll(home.path() + "/root"), (std::vector<std::string>{"link", "loop"}));
}

TEST(HostWalk, MissingRootYieldsNothingAndVisitorCanStop) {
    TempHome home;
    EXPECT_TRUE(walkAll(home.path() + "/missing").empty());
    home.file("root/a");
    home.file("root/b");
    int calls = 0;
    HostFileSystem().walk(home.path() + "/root", [&](const std::string&) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1);
}

TEST(HostWalk, UnreadableFolderContributesNothing) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    TempHome home;
    home.file("root/locked/inside.txt");
    home.file("root/open.txt");
    chmod((home.path() + "/root/locked").c_str(), 0);
    EXPECT_EQ(walkAll(home.path() + "/root"), (std::vector<std::string>{"locked", "open.txt"}));
}

TEST(HostWalk, LeavesTheFoldersItReadsUnmarked) {
    TempHome home;
    home.file("root/inner/a.txt");
    // An access time older than the last change is one the system would bring up to date.
    const timespec old[2] = {{1'000'000, 0}, {0, UTIME_OMIT}};
    for (const char* folder : {"/root", "/root/inner"}) {
        ASSERT_EQ(utimensat(AT_FDCWD, (home.path() + folder).c_str(), old, 0), 0);
    }
    ASSERT_EQ(walkAll(home.path() + "/root").size(), 2u);
    for (const char* folder : {"/root", "/root/inner"}) {
        struct stat info {};
        ASSERT_EQ(stat((home.path() + folder).c_str(), &info), 0);
        EXPECT_EQ(info.st_atim.tv_sec, old[0].tv_sec) << folder;
    }
}

// Asked about many paths at once, the answers are those asked one at a time, whether the folder
// is listed (many paths in it) or each path is looked at, and for paths that cannot be split
// into a folder and a name of their own.
TEST(HostBulkLookups, AgreeWithOneAtATime) {
    TempHome home;
    std::vector<std::string> owned;
    for (int i = 0; i < 40; ++i) {
        home.file("many/f" + std::to_string(i) + (i % 2 ? ".plist" : ""));
        owned.push_back(home.path() + "/many/f" + std::to_string(i) + (i % 2 ? ".plist" : ""));
        owned.push_back(home.path() + "/many/gone" + std::to_string(i));
    }
    home.file("few/one");
    std::filesystem::create_symlink(home.path() + "/nowhere", home.path() + "/few/dangling");
    for (const std::string tail : {"/few/one", "/few/two", "/few/dangling", "/few/one/", "/few/.",
                                   "/few/..", "/missing/x", "/many/f1.plist", "", "relative/one"}) {
        owned.push_back(tail.empty()          ? std::string()
                        : tail.front() == '/' ? home.path() + tail
                                              : tail);
    }
    owned.push_back("/");
    const std::vector<std::string_view> paths(owned.begin(), owned.end());
    const HostFileSystem fs;
    const std::vector<bool> exist = fs.entriesExist(paths);
    const std::vector<std::optional<EntryStamp>> stamps = fs.stamps(paths);
    ASSERT_EQ(exist.size(), paths.size());
    ASSERT_EQ(stamps.size(), paths.size());
    int found = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(exist[i], fs.entryExists(owned[i])) << owned[i];
        EXPECT_EQ(stamps[i], fs.stamp(owned[i])) << owned[i];
        found += exist[i] ? 1 : 0;
    }
    EXPECT_EQ(found, 40 + 6); // the files made, f1.plist again, one, dangling, ., .. and /
}

TEST(HostWalk, HomeFallsBackToPasswordDatabase) {
    TempHome home;
    unsetenv("HOME");
    const auto found = HostFileSystem().homeDirectory();
    ASSERT_TRUE(found);
    EXPECT_FALSE(found->empty());
}

} // namespace
} // namespace corvane::testing
