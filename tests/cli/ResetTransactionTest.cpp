#include "cli/CommandLineFixture.h"
#include "host/linux/FreedesktopTrash.h"

#include <csignal>
#include <cstdio>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kWidget = "com.example.Widget";

// Resets and restores run as the built program against the real Trash of the test's home.
class ResetTransaction : public CommandLine {
protected:
    ResetTransaction() { widget = app("Widget.app", kWidget); }

    // `count` per-host preference files of the widget, each its own entry.
    std::vector<std::string> manyEntries(std::size_t count) const {
        std::vector<std::string> paths;
        fs::create_directories(home.library() + "/Preferences/ByHost");
        for (std::size_t i = 0; i < count; ++i) {
            char name[96];
            std::snprintf(name, sizeof name, "/Preferences/ByHost/%s.%08zX.plist", kWidget, i);
            paths.push_back(home.library() + name);
            std::ofstream(paths.back()) << i;
        }
        return paths;
    }

    std::string trashFolder() const { return home.path() + "/.local/share/Trash"; }
    std::size_t countIn(const std::string& folder) const {
        std::error_code error;
        std::size_t count = 0;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            ++count;
        }
        return count;
    }
    // Every entry is back with its content, and the Trash holds nothing of it.
    void expectAllBack(const std::vector<std::string>& paths) const {
        std::size_t missing = 0;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            missing += contentOf(paths[i]) == std::to_string(i) ? 0 : 1;
        }
        EXPECT_EQ(missing, 0u);
        EXPECT_EQ(countIn(trashFolder() + "/files"), 0u);
        EXPECT_EQ(countIn(trashFolder() + "/info"), 0u) << "no orphan information file";
    }
    // Restores until nothing is left; the exit codes met.
    std::vector<int> restoreAll() const {
        std::vector<int> codes;
        for (int i = 0; i < 4; ++i) {
            codes.push_back(corvane({"--restore", "--yes", kWidget}).status);
            if (codes.back() == 1) {
                break;
            }
        }
        return codes;
    }

    std::string widget;
};

TEST_F(ResetTransaction, AResetStoppedHalfWayIsRestoredWhole) {
    const std::vector<std::string> paths = manyEntries(20'000);
    for (const int signal : {SIGKILL, SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = start({"--reset", "--yes", widget}, "reset");
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (countIn(trashFolder() + "/files") < paths.size() / 2 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(2ms);
        }
        kill(pid, signal);
        const Outcome reset = finish(pid, home.path() + "/reset.out", home.path() + "/reset.err");
        const std::size_t trashed = countIn(trashFolder() + "/files");
        ASSERT_GT(trashed, 0u);
        ASSERT_LT(trashed, paths.size()) << "the reset ended before the signal";
        if (signal == SIGKILL) {
            EXPECT_EQ(reset.status, -1);
        } else {
            EXPECT_EQ(reset.status, 3) << reset.err;
            // One line says it all, however many entries were left in place.
            EXPECT_EQ(reset.err, "corvane: Interrupted: " + std::to_string(trashed) + " of " +
                                     std::to_string(paths.size()) +
                                     " entries are in the Trash; corvane --restore " + kWidget +
                                     " puts them back.\n");
        }

        const Outcome restore = corvane({"--restore", "--yes", kWidget});
        EXPECT_EQ(restore.status, 0) << restore.err;
        expectAllBack(paths);
        EXPECT_EQ(corvane({"--restore", "--yes", kWidget}).status, 1);
    }
}

TEST_F(ResetTransaction, ARestoreKilledHalfWayFinishesOnTheNextRun) {
    const std::vector<std::string> paths = manyEntries(20'000);
    ASSERT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
    const pid_t pid = start({"--restore", "--yes", kWidget}, "restore");
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (countIn(trashFolder() + "/files") > paths.size() / 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
    }
    kill(pid, SIGKILL);
    finish(pid, home.path() + "/restore.out", home.path() + "/restore.err");
    ASSERT_GT(countIn(trashFolder() + "/files"), 0u) << "the restore ended before the signal";

    const Outcome again = corvane({"--restore", "--yes", kWidget});
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    expectAllBack(paths);
}

TEST_F(ResetTransaction, TwoResetsAndTwoRestoresAtOnceStrandNothing) {
    const std::vector<std::string> paths = manyEntries(3'000);
    const pid_t first = start({"--reset", "--yes", widget}, "first");
    const pid_t second = start({"--reset", "--yes", widget}, "second");
    const Outcome one = finish(first, home.path() + "/first.out", home.path() + "/first.err");
    const Outcome two = finish(second, home.path() + "/second.out", home.path() + "/second.err");
    // The later run waits for the earlier one, then finds nothing left (or finds nothing to
    // begin with), or gives up saying why.
    for (const Outcome* run : {&one, &two}) {
        EXPECT_TRUE(run->status == 0 || run->status == 1 || run->status == 4) << run->err;
        if (run->status == 4) {
            EXPECT_NE(run->err.find("Another reset or restore is in progress."), std::string::npos);
        }
    }
    EXPECT_EQ(countIn(trashFolder() + "/files"), paths.size());

    const pid_t restoreOne = start({"--restore", "--yes", kWidget}, "first");
    const pid_t restoreTwo = start({"--restore", "--yes", kWidget}, "second");
    const Outcome back = finish(restoreOne, home.path() + "/first.out", home.path() + "/first.err");
    const Outcome again =
        finish(restoreTwo, home.path() + "/second.out", home.path() + "/second.err");
    // The same for putting back: one restores everything, the other finds nothing left or
    // gives up waiting, saying why.
    for (const Outcome* run : {&back, &again}) {
        EXPECT_TRUE(run->status == 0 || run->status == 1 || run->status == 4) << run->err;
        if (run->status == 4) {
            EXPECT_NE(run->err.find("Another reset or restore is in progress."), std::string::npos);
        }
        EXPECT_EQ(run->out.find("did not come back"), std::string::npos) << run->out;
    }
    EXPECT_NE(back.status, again.status) << "one put everything back, the other did not";
    expectAllBack(paths);
}

TEST_F(ResetTransaction, OddNamesGoToTheTrashAsTheyAreAndComeBackByteForByte) {
    const std::string stem = home.library() + "/Preferences/" + kWidget + ".plist.";
    const std::vector<std::string> names = {
        "newline\nin it",
        "pct%41",
        std::string("\xff\xfe not UTF-8"),
        "space and #?",
        std::string(246 - (std::string(kWidget) + ".plist.").size(), 'L'),
        std::string(255 - (std::string(kWidget) + ".plist.").size(), 'M')};
    std::vector<std::string> paths;
    fs::create_directories(home.library() + "/Preferences");
    for (std::size_t i = 0; i < names.size(); ++i) {
        paths.push_back(stem + names[i]);
        std::ofstream(paths.back()) << i;
    }

    const Outcome reset = corvane({"--reset", "--yes", widget});
    ASSERT_EQ(reset.status, 0) << reset.err;
    // A file manager reading the information files finds each entry's own place.
    std::set<std::string> recorded;
    for (const auto& info : fs::directory_iterator(trashFolder() + "/info")) {
        const std::optional<std::string> original = trashInfoPath(contentOf(info.path().string()));
        ASSERT_TRUE(original) << info.path();
        recorded.insert(*original);
        const std::string inTrash = trashFolder() + "/files/" + info.path().stem().string();
        EXPECT_TRUE(fs::exists(fs::symlink_status(inTrash))) << inTrash;
    }
    EXPECT_EQ(recorded, std::set<std::string>(paths.begin(), paths.end()));

    EXPECT_EQ(corvane({"--restore", "--yes", kWidget}).status, 0);
    expectAllBack(paths);
}

TEST_F(ResetTransaction, RestoreTakesBackOnlyTheVeryItemsItsResetMoved) {
    const std::string shared = "/Data/Library/Preferences/group.shared.plist";
    const std::string a = home.library() + "/Containers/com.example.A" + shared;
    const std::string b = home.library() + "/Containers/com.example.B" + shared;
    home.file("Library/Containers/com.example.A" + shared, "A's");
    home.file("Library/Containers/com.example.B" + shared, "B's");
    ASSERT_EQ(corvane({"--reset", "--yes", app("A.app", "com.example.A")}).status, 0);
    // The user empties the Trash; the next reset reuses the name in it.
    fs::remove_all(trashFolder());
    ASSERT_EQ(corvane({"--reset", "--yes", app("B.app", "com.example.B")}).status, 0);

    // B's item under the name A's had is not A's: nothing of A can come back.
    const Outcome restoreA = corvane({"--restore", "--yes", "com.example.A"});
    EXPECT_EQ(restoreA.status, 1) << restoreA.out << restoreA.err;
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));

    EXPECT_EQ(corvane({"--restore", "--yes", "com.example.B"}).status, 0);
    EXPECT_EQ(contentOf(b), "B's");
}

TEST_F(ResetTransaction, WhatNoTrashTakesIsRemovedForGoodOnlyWithNoTrash) {
    struct stat shm {
    }, tmp{};
    if (stat("/dev/shm", &shm) != 0 || stat(home.path().c_str(), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev) {
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    // The data home on a tmpfs: the home's files have no Trash of their file system.
    char pattern[] = "/dev/shm/corvane-data-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    const std::string dataHome = pattern;
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    const std::string prefs = home.library() + "/Preferences/com.example.Widget.plist";
    home.file("Library/Preferences/com.example.Widget.plist");

    const Outcome refused = corvane({"--reset", "--yes", widget});
    EXPECT_EQ(refused.status, 4) << refused.err;
    EXPECT_NE(refused.err.find("1 entry cannot be moved to the Trash ("), std::string::npos)
        << refused.err;
    EXPECT_TRUE(fs::exists(prefs));

    const Outcome agreed = corvane({"--reset", "--yes", "--no-trash", widget});
    EXPECT_EQ(agreed.status, 0) << agreed.err;
    EXPECT_FALSE(fs::exists(prefs));
    EXPECT_NE(agreed.out.find("1 entry was removed for good, as you agreed."), std::string::npos)
        << agreed.out;
    EXPECT_EQ(agreed.out.find("in the Trash"), std::string::npos) << agreed.out;
    fs::remove_all(dataHome);
}

TEST_F(ResetTransaction, WithoutAPlaceForItsRecordAResetMovesNothing) {
    const std::string prefs = home.library() + "/Preferences/com.example.Widget.plist";
    home.file("Library/Preferences/com.example.Widget.plist");
    home.file("Library/Application Support/Corvane/Resets", "a file where the folder should be");

    const Outcome reset = corvane({"--reset", "--yes", widget});

    EXPECT_EQ(reset.status, 4);
    EXPECT_NE(reset.err.find("Nothing was changed"), std::string::npos) << reset.err;
    EXPECT_TRUE(fs::exists(prefs));
    EXPECT_EQ(countIn(trashFolder() + "/files"), 0u);
}

} // namespace
} // namespace corvane::testing
