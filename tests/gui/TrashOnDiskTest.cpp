#include "core/fix/ResetRecord.h"
#include "host/linux/FreedesktopTrash.h"
#include "host/posix/FileCookieStore.h"
#include "support/CookieFiles.h"
#include "support/DelegateFixture.h"
#include "support/FixDoubles.h"
#include "support/Records.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

void setModified(const std::string& path, std::int64_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Every entry beneath `root` (the root included) as what a restore must bring back exactly:
// its kind, mode, modification time and content or link target.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    const auto describe = [](const fs::path& path) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            return std::string("missing");
        }
        std::string text = std::to_string(info.st_mode) + " " +
                           std::to_string(info.st_mtim.tv_sec) + "." +
                           std::to_string(info.st_mtim.tv_nsec) + " ";
        if (S_ISLNK(info.st_mode)) {
            text += fs::read_symlink(path).string();
        } else if (S_ISREG(info.st_mode)) {
            text += contentOf(path);
        }
        return text;
    };
    entries[root] = describe(root);
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(root, error))) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            entries[entry.path().string()] = describe(entry.path());
        }
    }
    return entries;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

// Fix and Restore over the desktop's real Trash in a temporary home.
class TrashOnDisk : public DelegateFixture {
protected:
    TrashOnDisk() {
        services.launcher = &launcher;
        services.runningApplications = &running;
        services.clock = &clock;
        services.trash = &trash;
        services.cookieStore = &cookies;
        library = fs::canonical(home.path()).string() + "/Library";
        trashFolder = home.path() + "/.local/share/Trash";
    }

    void chooseAndFix(const std::string& identifier, const std::string& name = "Example.app") {
        const std::string bundle = "/Applications/" + name;
        bundles.bundles[bundle] = BundleInfo{identifier, std::nullopt, std::nullopt};
        openPanel.picks.push_back(bundle);
        delegate().chooseApp();
        ASSERT_TRUE(window.fixButton.enabled) << window.infoView.string();
        delegate().fixButtonMethod();
    }

    // Presses Restore and answers its question with "Restore"; the text of the closing alert.
    std::string restore() {
        alerts.shown.clear();
        alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
        delegate().restoreButtonMethod();
        return alerts.shown.size() == 2 ? alerts.shown[1].informativeText : std::string();
    }

    RecordingLauncher launcher;
    ScriptedRunningApplications running;
    FakeClock clock;
    FreedesktopTrash trash{home.path() + "/.local/share"};
    FileCookieStore cookies{fileSystem};
    std::string library;
    std::string trashFolder;
};

TEST_F(TrashOnDisk, AMissingDataHomeIsMadeForTheUserAloneAndNothingLandsBesideTheWorkingFolder) {
    home.file("Library/Preferences/a.plist");
    home.folder("work");
    const fs::path previous = fs::current_path();
    fs::current_path(home.path() + "/work");
    ASSERT_FALSE(home.exists(".local"));

    const TrashedEntry trashed = trashEntry(trash, library + "/Preferences/a.plist");

    fs::current_path(previous);
    EXPECT_EQ(fs::path(trashed.trashed).parent_path(), fs::path(trashFolder + "/files"));
    EXPECT_TRUE(fs::exists(trashed.trashed));
    EXPECT_FALSE(home.exists("Library/Preferences/a.plist"));
    EXPECT_EQ(fs::status(home.path() + "/.local/share").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_TRUE(namesIn(home.path() + "/work").empty());
}

TEST_F(TrashOnDisk, ADataHomeThatCannotBeMadeTrashesNothing) {
    home.file("Library/Preferences/a.plist");
    home.file(".local/share", "a file where the folder should be");

    EXPECT_TRUE(trash.unavailableReason(library + "/Preferences/a.plist"));
    EXPECT_FALSE(trash.reserve(library + "/Preferences/a.plist"));
    EXPECT_TRUE(home.exists("Library/Preferences/a.plist"));
}

TEST_F(TrashOnDisk, FixThenRestoreBringsBackEveryEntryExactly) {
    const std::string id = "com.x.App";
    home.file("Library/Preferences/" + id + ".plist", "plist bytes\n\x01\x02");
    home.file("Library/Preferences/" + id + "/nested/deep.plist", "deep");
    home.file("Library/Preferences/ByHost/" + id + ".0F1E2D3C.plist", "by host");
    home.file("Library/Saved Application State/" + id + ".savedState/windows.plist", "windows");
    home.file("Library/Saved Application State/" + id + ".savedState/data.data", "data");
    // A link goes as a link; its target stays.
    home.file("outside/target.txt", "target");
    fs::create_symlink(home.path() + "/outside/target.txt",
                       library + "/Preferences/" + id + ".plist.link");
    chmod((library + "/Preferences/" + id + ".plist").c_str(), 0600);
    chmod((library + "/Preferences/" + id + "/nested").c_str(), 0750);
    chmod((library + "/Saved Application State/" + id + ".savedState/data.data").c_str(), 0444);
    std::vector<std::string> entries = {
        library + "/Preferences/" + id + ".plist",
        library + "/Preferences/" + id,
        library + "/Preferences/ByHost/" + id + ".0F1E2D3C.plist",
        library + "/Saved Application State/" + id + ".savedState",
        library + "/Preferences/" + id + ".plist.link",
    };
    long nanoseconds = 123456789;
    for (const std::string& entry : entries) {
        for (const auto& [path, ignored] : snapshot(entry)) {
            setModified(path, 1700000000, nanoseconds++);
        }
    }
    std::map<std::string, std::string> before;
    for (const std::string& entry : entries) {
        before.merge(snapshot(entry));
    }

    chooseAndFix(id);

    for (const std::string& entry : entries) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(entry))) << entry;
    }
    EXPECT_EQ(namesIn(trashFolder + "/files").size(), entries.size());
    EXPECT_EQ(namesIn(trashFolder + "/info").size(), entries.size());
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_NE(alerts.sheets[0].informativeText.find("press Restore"), std::string::npos);
    EXPECT_TRUE(window.restoreButton.enabled);

    const std::string text = restore();

    std::map<std::string, std::string> after;
    for (const std::string& entry : entries) {
        after.merge(snapshot(entry));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(contentOf(home.path() + "/outside/target.txt"), "target");
    EXPECT_EQ(text.rfind("5 entries of Example.app came back.\n", 0), 0u) << text;
    EXPECT_TRUE(namesIn(trashFolder + "/files").empty());
    EXPECT_TRUE(namesIn(trashFolder + "/info").empty());
    EXPECT_FALSE(window.restoreButton.enabled);
}

// The application ran again after the reset: Restore moves what it wrote since to the Trash
// under a record of its own, named in the question, and puts the reset one back. What the user
// deleted from the Trash is named gone.
TEST_F(TrashOnDisk, WhatWasWrittenSinceGoesToTheTrashFirstAndCanComeBackInTurn) {
    const std::string id = "com.x.App";
    const std::string plist = library + "/Preferences/" + id + ".plist";
    const std::string state = library + "/Saved Application State/" + id + ".savedState";
    const std::string byHost = library + "/Preferences/ByHost/" + id + ".0F1E2D3C.plist";
    home.file("Library/Preferences/" + id + ".plist", "reset");
    home.file("Library/Saved Application State/" + id + ".savedState/w.plist", "windows");
    home.file("Library/Preferences/ByHost/" + id + ".0F1E2D3C.plist", "by host");
    chooseAndFix(id);
    const std::optional<ResetRecord> record = latestRecordIn(home.library());
    ASSERT_TRUE(record);
    std::map<std::string, std::string> trashedOf;
    for (const TrashedEntry& entry : record->moved) {
        trashedOf[entry.original] = entry.trashed;
    }
    ASSERT_EQ(trashedOf.size(), 3u);
    std::ofstream(plist) << "written since";
    const std::string deleted = trashedOf[state];
    fs::remove_all(deleted);
    fs::remove(trashFolder + "/info/" + fs::path(deleted).filename().string() + ".trashinfo");

    const std::string text = restore();

    ASSERT_FALSE(alerts.shown.empty());
    const std::string question = alerts.shown[0].informativeText;
    // What comes back first, then what was written since and goes aside.
    const std::size_t aside = question.find("These were written since and go to the Trash:\n");
    ASSERT_NE(aside, std::string::npos) << question;
    EXPECT_GT(question.find(plist, aside), aside) << question;
    EXPECT_LT(question.find(byHost), aside) << question;
    EXPECT_EQ(question.find(state), std::string::npos) << "not in the Trash any more";
    EXPECT_EQ(contentOf(plist), "reset");
    EXPECT_EQ(contentOf(byHost), "by host");
    EXPECT_FALSE(fs::exists(state));
    EXPECT_EQ(text.rfind("2 entries of Example.app came back.\n", 0), 0u) << text;
    EXPECT_NE(text.find(state + ": no longer in the Trash"), std::string::npos) << text;
    const std::optional<ResetRecord> replacement = latestRecordIn(home.library());
    ASSERT_TRUE(replacement);
    EXPECT_EQ(replacement->replacedByRestoring, record->id);
    EXPECT_NE(text.find(replacement->id), std::string::npos) << text;
    ASSERT_EQ(replacement->moved.size(), 1u);
    EXPECT_EQ(contentOf(replacement->moved[0].trashed), "written since");

    // Restore again: the newest record is the replaced settings, and it says so.
    const std::string again = restore();
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_NE(alerts.shown[0].messageText.find("replaced by restoring " + record->id),
              std::string::npos)
        << alerts.shown[0].messageText;
    EXPECT_EQ(contentOf(plist), "written since") << again;
}

TEST_F(TrashOnDisk, HardSafariResetThenRestoreBringsBackTheSafariFolderAndTheCookies) {
    const std::string store = library + "/Cookies/Cookies.binarycookies";
    const std::string cookieBytes =
        cookieFile({cookiePage({cookieRecord(".example.org", "id", "/", "abc"),
                                cookieRecord("news.example.com", "session", "/a", "xyz")})});
    home.file("Library/Cookies/Cookies.binarycookies", cookieBytes);
    home.file("Library/Safari/History.db", "history");
    home.file("Library/Safari/LastSession.plist", "open tabs");
    home.file("Library/Caches/com.apple.Safari/cache.db", "cache");
    home.file("Library/Preferences/com.apple.Safari.plist", "safari settings");
    alerts.answers = {kAlertFirstButtonReturn}; // Hard

    chooseAndFix("com.apple.Safari", "Safari.app");

    ASSERT_FALSE(home.exists("Library/Safari"));
    EXPECT_TRUE(cookies.cookies().empty());
    EXPECT_NE(contentOf(store), cookieBytes);

    const std::string text = restore();

    EXPECT_EQ(contentOf(library + "/Safari/History.db"), "history");
    EXPECT_EQ(contentOf(library + "/Safari/LastSession.plist"), "open tabs");
    EXPECT_EQ(contentOf(library + "/Caches/com.apple.Safari/cache.db"), "cache");
    EXPECT_EQ(contentOf(library + "/Preferences/com.apple.Safari.plist"), "safari settings");
    EXPECT_EQ(contentOf(store), cookieBytes);
    EXPECT_EQ(cookies.cookies().size(), 2u);
    EXPECT_EQ(text.find("did not come back"), std::string::npos) << text;
    EXPECT_TRUE(namesIn(trashFolder + "/files").empty());
}

} // namespace
} // namespace corvane::testing
