#include "core/fix/LibraryRemover.h"

#include "host/posix/HostFileSystem.h"
#include "support/RecordingTrash.h"
#include "support/TempHome.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// A journal that cannot be written (as on a full disk) stops the moves before the first one:
// no entry may go to the Trash without its line.
TEST(LibraryRemoverJournal, AJournalThatCannotBeWrittenMovesNothing) {
    TempHome home;
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/com.x.App.plist.1");
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    ResetJournal journal(full, "20261208T000000Z-00", home.path());
    HostFileSystem fileSystem;
    RecordingTrash trash(home.path() + "/.test-trash");
    LibraryRemover remover(
        fileSystem, home.library(), home.path(),
        [](const std::string&, const std::vector<std::string>&) {
            return std::optional<std::string>();
        },
        nullptr, &trash);
    remover.setJournal(&journal);
    const std::string library = fs::canonical(home.library()).string();

    for (const std::string name : {"com.x.App.plist", "com.x.App.plist.1"}) {
        remover.remove(library + "/Preferences/" + name);
    }

    EXPECT_TRUE(trash.moved.empty());
    EXPECT_EQ(trash.released, std::vector<std::string>{library + "/Preferences/com.x.App.plist"});
    EXPECT_EQ(remover.remaining().size(), 2u);
    for (const std::string& path : remover.remaining()) {
        const std::optional<std::string> reason = remover.reasonLeft(path);
        ASSERT_TRUE(reason) << path;
        EXPECT_NE(reason->find("the disk is full"), std::string::npos) << *reason;
    }
}

// What lies inside another listed entry moves with it; whatever the order of the listing and
// however deep, only the topmost entries are moved, each once, in the order first listed.
TEST(LibraryRemoverTargets, OnlyTheTopmostOfNestedEntriesIsMovedAndEachOnce) {
    TempHome home;
    for (const std::string name : {"a/x", "a/y", "a/sub/w", "b", "c/z", "d/v"}) {
        home.file("Library/Preferences/" + name);
    }
    HostFileSystem fileSystem;
    LibraryRemover remover(fileSystem, home.library(), home.path(), {}, nullptr, nullptr);
    const std::string p = fs::canonical(home.library()).string() + "/Preferences/";
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> rows = {
        {{p + "a/x", p + "a", p + "a/y", p + "b", p + "b", p + "c/z", p + "a/sub/w"},
         {p + "a", p + "b", p + "c/z"}},
        {{p + "a/sub/w", p + "a/x", p + "c/z", p + "c", p + "d/", p + "d/v"},
         {p + "a/sub/w", p + "a/x", p + "c", p + "d"}},
        {{p + "a/sub/w", p + "a/sub", p + "a/y", "relative", "/elsewhere/e"},
         {p + "a/sub", p + "a/y"}},
    };
    for (const auto& [listed, expected] : rows) {
        EXPECT_EQ(remover.targets(listed), expected) << listed.front();
    }
}

} // namespace
} // namespace corvane::testing
