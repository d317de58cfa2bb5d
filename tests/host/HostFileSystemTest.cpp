#include "host/posix/HostFileSystem.h"

#include "support/TempHome.h"

#include <filesystem>
#include <gtest/gtest.h>
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

TEST(HostWalk, HomeFallsBackToPasswordDatabase) {
    TempHome home;
    unsetenv("HOME");
    const auto found = HostFileSystem().homeDirectory();
    ASSERT_TRUE(found);
    EXPECT_FALSE(found->empty());
}

} // namespace
} // namespace corvane::testing
