#include "base/BackgroundRemovals.h"
#include "base/Directory.h"
#include "base/Paths.h"
#include "support/TempHome.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace corvane::testing {
namespace {

ino_t inodeOf(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 ? info.st_ino : 0;
}

ino_t inodeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Calls about an entry go by its name in its folder only for a plain absolute path that ends
// in a name; anything else keeps its whole path.
TEST(FolderAndName, SplitsAPlainAbsolutePathAtItsLastSlash) {
    struct Row {
        std::string_view path;
        std::optional<std::pair<std::string_view, std::string_view>> split;
    };
    const Row rows[] = {
        {"/home/u/Library/Preferences/com.x.App.plist",
         {{"/home/u/Library/Preferences", "com.x.App.plist"}}},
        {"/top", {{"/", "top"}}},
        {"/a//b", {{"/a/", "b"}}},
        {"/a/b/", std::nullopt},
        {"/", std::nullopt},
        {"relative/name", std::nullopt},
        {"", std::nullopt},
        {"/a/..", std::nullopt},
        {"/a/.", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const std::optional<FolderAndName> split = folderAndName(row.path);
        ASSERT_EQ(split.has_value(), row.split.has_value());
        if (split) {
            EXPECT_EQ(split->folder, row.split->first);
            EXPECT_EQ(split->name, row.split->second);
        }
    }
}

// Within a run the handle keeps to the folder it opened, also when that folder is renamed away
// and another is made at its path; after a pause it opens what is at the path then.
TEST(FolderHandle, KeepsItsFolderWhileInUseAndLooksAgainAfterAPause) {
    TempHome home;
    home.folder("trash");
    const std::string path = home.path() + "/trash";
    FolderHandle handle;
    ASSERT_EQ(inodeOf(handle.open(path)), inodeOf(path));
    ASSERT_EQ(std::rename(path.c_str(), (home.path() + "/old").c_str()), 0);
    home.folder("trash");
    EXPECT_EQ(inodeOf(handle.open(path)), inodeOf(home.path() + "/old"));
    EXPECT_EQ(inodeOf(FolderHandle(handle).open(path)), inodeOf(path)) << "a copy opens anew";
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(inodeOf(handle.open(path)), inodeOf(path));
}

// What is handed over is gone once wait() returns, also when it comes faster than the queue
// takes it, and what is not waited for is gone once the remover is.
TEST(BackgroundRemovals, EverythingHandedOverIsGoneByWaitOrTheEnd) {
    TempHome home;
    // A queue smaller than a batch, and files fewer than a batch that wake no thread by
    // themselves.
    struct Case {
        bool waited;
        std::size_t maxPending;
        int files;
    };
    for (const auto& [waited, maxPending, count] :
         {Case{true, 4, 300}, Case{false, 4, 300}, Case{true, 1024, 5}, Case{false, 1024, 5}}) {
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i) {
            const std::string name = "f" + std::to_string(waited) + "-" +
                                     std::to_string(maxPending) + "-" + std::to_string(i);
            home.file(name);
            files.push_back(home.path() + "/" + name);
        }
        const auto left = [&files] {
            return std::count_if(files.begin(), files.end(),
                                 [](const std::string& file) { return inodeOf(file) != 0; });
        };
        {
            BackgroundRemovals removals(3, maxPending);
            for (const std::string& file : files) {
                removals.remove(file);
            }
            if (waited) {
                removals.wait();
                EXPECT_EQ(left(), 0);
            }
        }
        EXPECT_EQ(left(), 0) << (waited ? "waited" : "not waited");
    }
}

} // namespace
} // namespace corvane::testing
