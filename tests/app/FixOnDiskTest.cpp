#include "app/ResponsiveWork.h"
#include "core/UserFolders.h"
#include "core/fix/ResetTransaction.h"
#include "host/linux/FreedesktopTrash.h"
#include "host/linux/ProcRunningApplications.h"
#include "host/posix/FileCookieStore.h"
#include "host/posix/PlistBundleReader.h"
#include "host/posix/PosixProcessLauncher.h"
#include "support/CookieFiles.h"
#include "support/DelegateFixture.h"
#include "support/FixDoubles.h"
#include "support/StandInApp.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs every tool for real, after letting the test look at the world first.
class WatchedLauncher : public ProcessLauncher {
public:
    Result<ProcessOutput> run(const std::string& launchPath,
                              const std::vector<std::string>& arguments) override {
        if (beforeRun) {
            beforeRun(launchPath, arguments);
        }
        ++runs;
        return real.run(launchPath, arguments);
    }
    std::function<void(const std::string&, const std::vector<std::string>&)> beforeRun;
    int runs = 0;
    PosixProcessLauncher real;
};

// Makes an entry impossible to remove for the life of the object. Root passes over folder
// permissions, so it takes the immutable flag; anyone else gets a read-only parent folder.
class Undeletable {
public:
    explicit Undeletable(const std::string& path) : m_path(path) {
        if (geteuid() != 0) {
            m_parent = fs::path(path).parent_path().string();
            m_ok = chmod(m_parent.c_str(), 0555) == 0;
            m_reason = std::strerror(errno);
            return;
        }
        m_ok = setImmutable(true);
    }
    ~Undeletable() {
        if (!m_parent.empty()) {
            chmod(m_parent.c_str(), 0755);
        } else if (m_ok) {
            setImmutable(false);
        }
    }
    bool ok() const { return m_ok; }
    const std::string& reason() const { return m_reason; }

private:
    bool setImmutable(bool on) {
        const int fd = open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        m_reason = std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return done;
    }

    std::string m_path;
    std::string m_parent;
    bool m_ok = false;
    std::string m_reason;
};

// The tools and the desktop's Trash for real, in the test's home.
class FixOnDisk : public DelegateFixture {
protected:
    FixOnDisk() : clock(20) {
        services.trash = &trash;
        services.launcher = &launcher;
        services.runningApplications = &running;
        services.clock = &clock;
        services.bundles = &plistBundles;
        bundlesFolder = home.path() + "/Applications";
        identifier = "org.corvane.test.StandIn" + std::to_string(getpid());
    }

    void choose(const std::string& bundlePath) {
        openPanel.picks.push_back(bundlePath);
        delegate().chooseApp();
        ASSERT_TRUE(window.fixButton.enabled) << window.infoView.string();
    }

    FreedesktopTrash trash{home.path() + "/.local/share"};
    WatchedLauncher launcher;
    PlistBundleReader plistBundles;
    ProcRunningApplications running{plistBundles};
    HurriedClock clock;
    std::string bundlesFolder;
    std::string identifier;
};

TEST_F(FixOnDisk, ListedEntriesGoAndTheirNeighboursStay) {
    const StandInBundle app(bundlesFolder, "StandIn", identifier);
    const std::string id = identifier;
    home.file("Library/Preferences/" + id + ".plist");
    home.file("Library/Preferences/" + id + "/a.plist");
    home.file("Library/Preferences/ByHost/" + id + ".0F1E2D3C-4B5A.plist");
    home.file("Library/Saved Application State/" + id + ".savedState/data.data");
    home.file("Library/Saved Application State/" + id + ".savedState/windows.plist");
    home.file("Library/Preferences/org.corvane.test.Other.plist");
    home.file("Library/Saved Application State/org.corvane.test.Other.savedState/w.plist");
    home.file("Library/Preferences/unrelated.plist");
    home.file("outside/target.txt");
    home.file("outside/folder/keep.txt");
    fs::create_symlink(home.path() + "/outside/target.txt",
                       home.library() + "/Preferences/" + id + ".plist.link");
    home.folder("Library/Preferences/Links");
    fs::create_directory_symlink(home.path() + "/outside/folder",
                                 home.library() + "/Preferences/Links/" + id);
    choose(app.bundlePath());

    delegate().fixButtonMethod();

    for (const std::string& gone : {id, id + "/a.plist", id + ".plist.link", "Links/" + id}) {
        EXPECT_FALSE(home.exists("Library/Preferences/" + gone)) << gone;
    }
    EXPECT_FALSE(home.exists("Library/Preferences/ByHost/" + id + ".0F1E2D3C-4B5A.plist"));
    EXPECT_FALSE(home.exists("Library/Saved Application State/" + id + ".savedState"));
    EXPECT_TRUE(home.exists("Library/Preferences/ByHost"));
    EXPECT_TRUE(home.exists("Library/Preferences/org.corvane.test.Other.plist"));
    EXPECT_TRUE(
        home.exists("Library/Saved Application State/org.corvane.test.Other.savedState/w.plist"));
    EXPECT_TRUE(home.exists("Library/Preferences/unrelated.plist"));
    EXPECT_TRUE(home.exists("outside/target.txt"));
    EXPECT_TRUE(home.exists("outside/folder/keep.txt"));
    EXPECT_TRUE(alerts.shown.empty()) << "the Trash takes them all, so nothing is asked";
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText,
              "Default settings for StandIn.app have been successfully restored.\n"
              "The removed files are in the Trash; press Restore to put them back.\n");
}

TEST_F(FixOnDisk, AnEntryThatCannotBeRemovedIsNamedInTheClosingSheet) {
    const StandInBundle app(bundlesFolder, "StandIn", identifier);
    home.file("Library/Preferences/" + identifier + ".plist");
    home.file("Library/Saved Application State/" + identifier + ".savedState/locked.data");
    // Without a Trash, and with the user's consent, the removal tool takes them for good.
    services.trash = nullptr;
    alerts.answers = {kAlertSecondButtonReturn};
    choose(app.bundlePath());
    const std::string locked =
        home.library() + "/Saved Application State/" + identifier + ".savedState/locked.data";
    const Undeletable guard(locked);
    if (!guard.ok()) {
        GTEST_SKIP() << "cannot make an entry undeletable here: " << guard.reason();
    }

    delegate().fixButtonMethod();

    EXPECT_FALSE(home.exists("Library/Preferences/" + identifier + ".plist"));
    EXPECT_TRUE(fs::exists(locked));
    ASSERT_EQ(alerts.sheets.size(), 1u);
    const std::string& text = alerts.sheets[0].informativeText;
    EXPECT_EQ(text.find("successfully"), std::string::npos) << text;
    EXPECT_NE(text.find(locked + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find(identifier + ".savedState\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(identifier + ".plist"), std::string::npos) << text;
    // The removal tool's own complaint, naming the entry, reaches the log.
    std::string logged;
    for (const std::string& line : log.lines) {
        logged += line + "\n";
    }
    EXPECT_NE(logged.find("/bin/rm exited with status 1: "), std::string::npos) << logged;
    EXPECT_NE(logged.find(locked + "'"), std::string::npos) << logged;
    const std::size_t first = logged.find("\ndefaults 1 exited with: ");
    EXPECT_NE(first, std::string::npos) << logged;
    EXPECT_NE(logged.find("\ndefaults -currentHost exited with: ", first), std::string::npos)
        << logged;
}

TEST_F(FixOnDisk, RunningApplicationQuitsBeforeAnythingIsRemoved) {
    // A script in the bundle runs under an interpreter that lies outside it: only the command
    // line tells which application it is.
    const std::string script = "#!/bin/sh\n"
                               "trap 'exit 0' TERM\n"
                               "printf R\n"
                               "exec >&-\n"
                               "while :; do sleep 1 & wait $!; done\n";
    for (const bool scripted : {false, true}) {
        SCOPED_TRACE(scripted ? "shell script" : "program");
        const StandInBundle app(bundlesFolder, scripted ? "Scripted" : "StandIn", identifier);
        if (scripted) {
            std::ofstream(app.executable(), std::ios::trunc) << script;
        }
        home.file("Library/Preferences/" + identifier + ".plist");
        window.infoView.history.clear();
        choose(app.bundlePath());
        StandInProcess process(app.executable());
        std::optional<bool> endedBeforeFirstRun;
        launcher.beforeRun = [&](const std::string&, const std::vector<std::string>&) {
            if (!endedBeforeFirstRun) {
                endedBeforeFirstRun = process.hasEnded();
            }
        };

        delegate().fixButtonMethod();

        EXPECT_EQ(endedBeforeFirstRun, true);
        EXPECT_FALSE(home.exists("Library/Preferences/" + identifier + ".plist"));
        EXPECT_TRUE(alerts.shown.empty());
        EXPECT_TRUE(std::any_of(window.infoView.history.begin(), window.infoView.history.end(),
                                [](const std::string& text) {
                                    return text.starts_with("App is running. Trying to quit...");
                                }));
        fs::remove_all(app.bundlePath());
    }
}

// Only a folder named exactly CoreServices makes a system target, which is never asked to quit.
TEST_F(FixOnDisk, AnApplicationInAFolderMerelyNamedLikeCoreServicesIsAskedToQuit) {
    const StandInBundle app(home.path() + "/Apps/CoreServicesExtras", "StandIn", identifier);
    home.file("Library/Preferences/" + identifier + ".plist");
    choose(app.bundlePath());
    StandInProcess process(app.executable());
    bool endedBeforeFirstRun = false;
    launcher.beforeRun = [&](const std::string&, const std::vector<std::string>&) {
        if (launcher.runs == 0) {
            endedBeforeFirstRun = process.hasEnded();
        }
    };

    delegate().fixButtonMethod();

    EXPECT_FALSE(delegate().isSystemApp());
    EXPECT_TRUE(endedBeforeFirstRun);
    EXPECT_FALSE(home.exists("Library/Preferences/" + identifier + ".plist"));
}

TEST_F(FixOnDisk, TwoRunningInstancesAreBothAskedToQuit) {
    const StandInBundle app(bundlesFolder, "StandIn", identifier);
    home.file("Library/Preferences/" + identifier + ".plist");
    choose(app.bundlePath());
    StandInProcess first(app.executable());
    StandInProcess second(app.executable());

    delegate().fixButtonMethod();

    EXPECT_TRUE(first.waitForEnd(1s));
    EXPECT_TRUE(second.waitForEnd(1s));
    EXPECT_FALSE(home.exists("Library/Preferences/" + identifier + ".plist"));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(FixOnDisk, ApplicationThatIgnoresTheQuitRequestKeepsItsFiles) {
    const StandInBundle app(bundlesFolder, "StandIn", identifier);
    home.file("Library/Preferences/" + identifier + ".plist");
    home.file("Library/Saved Application State/" + identifier + ".savedState/w.plist");
    choose(app.bundlePath());
    StandInProcess stubborn(app.executable(), true);
    const auto start = std::chrono::steady_clock::now();

    delegate().fixButtonMethod();

    // The 10 s bound, hurried twenty times.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);
    EXPECT_FALSE(stubborn.hasEnded());
    EXPECT_EQ(launcher.runs, 0);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_NE(alerts.shown[0].informativeText.find("StandIn.app did not quit"), std::string::npos);
    EXPECT_TRUE(home.exists("Library/Preferences/" + identifier + ".plist"));
    EXPECT_TRUE(
        home.exists("Library/Saved Application State/" + identifier + ".savedState/w.plist"));
    EXPECT_TRUE(window.fixButton.enabled);
    EXPECT_TRUE(alerts.sheets.empty());
}

// Every cookie of the shared store goes in a Hard reset; a store that cannot be read keeps
// them, and the closing sheet says so instead of claiming success.
TEST_F(FixOnDisk, AHardResetNamesACookieStoreItCouldNotEmpty) {
    FileCookieStore cookies(fileSystem);
    services.cookieStore = &cookies;
    const StandInBundle safari(bundlesFolder, "Safari", "com.apple.Safari");
    const std::string store = "Library/Cookies/Cookies.binarycookies";
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {"garbage bytes", std::string("\x01\x02 not a cookie store \xff\xfe")},
        {"an empty file", std::string()},
        {"no store at all", std::nullopt},
    };
    for (const auto& [what, bytes] : rows) {
        SCOPED_TRACE(what);
        fs::remove(home.library() + "/Cookies/Cookies.binarycookies");
        if (bytes) {
            home.file(store, *bytes);
        }
        home.file("Library/Preferences/com.apple.Safari.plist");
        alerts.sheets.clear();
        alerts.answers = {kAlertFirstButtonReturn}; // Hard
        choose(safari.bundlePath());

        delegate().fixButtonMethod();

        ASSERT_EQ(alerts.sheets.size(), 1u);
        const std::string& text = alerts.sheets[0].informativeText;
        const bool unreadable = what == "garbage bytes";
        EXPECT_EQ(text.find(cookies.location() + "\n") != std::string::npos, unreadable) << text;
        EXPECT_EQ(text.find("successfully") == std::string::npos, unreadable) << text;
        EXPECT_EQ(home.exists(store), bytes.has_value());
    }
}

// Counts the walks of one folder.
class WalkCountingFileSystem : public HostFileSystem {
public:
    WalkResult walk(const std::string& root,
                    const std::function<bool(const std::string&)>& visit) const override {
        walks += root == watched ? 1 : 0;
        return HostFileSystem::walk(root, visit);
    }
    std::string watched;
    mutable int walks = 0;
};

// A Hard reset's progress counts every entry it goes through, its further entries found once,
// after the target has quit.
TEST_F(FixOnDisk, AHardResetsProgressCountsEachEntryItTakesAndWalksCachesOnce) {
    WalkCountingFileSystem counting;
    counting.watched = home.library() + "/Caches";
    services.fileSystem = &counting;
    RecordingProgress progress;
    window.progress = &progress;
    const auto interval = ResponsiveWork::defaultInterval();
    ResponsiveWork::setDefaultInterval(std::chrono::milliseconds(0));
    const StandInBundle safari(bundlesFolder, "Safari", "com.apple.Safari");
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Caches/com.apple.Safari/Cache.db");
    home.file("Library/Caches/com.apple.Safari.SafeBrowsing/data");
    home.file("Library/Caches/org.corvane.test.Other/keep");
    alerts.answers = {kAlertFirstButtonReturn}; // Hard
    choose(safari.bundlePath());
    const int walksBeforeFix = counting.walks;

    delegate().fixButtonMethod();
    ResponsiveWork::setDefaultInterval(interval);

    EXPECT_EQ(counting.walks - walksBeforeFix, 1);
    ASSERT_FALSE(progress.totals.empty());
    ASSERT_TRUE(progress.totals.back().has_value());
    EXPECT_EQ(*progress.totals.back(), progress.lastSeen);
    // The preferences file, the Safari folder and the two caches of Safari's own.
    EXPECT_EQ(progress.lastSeen, 4u);
    EXPECT_FALSE(home.exists("Library/Caches/com.apple.Safari"));
    EXPECT_TRUE(home.exists("Library/Caches/org.corvane.test.Other/keep"));
}

TEST_F(FixOnDisk, AHardResetPreviewCountsWhatItWouldTakeBeforeItRuns) {
    FileCookieStore cookies(fileSystem);
    home.file("Library/Safari/Bookmarks.plist");
    home.file("Library/Safari/History/one");
    home.file("Library/Caches/com.apple.Safari/Cache.db");
    home.file("Library/Caches/com.example.Other/kept");
    const std::string store = "Library/Cookies/Cookies.binarycookies";
    const std::string twoCookies =
        cookieFile({cookiePage({cookieRecord(".example.com", "a", "/", "1"),
                                cookieRecord(".example.org", "b", "/", "2")})});
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::optional<size_t>>>
        rows = {{"two cookies", twoCookies, 2},
                {"an unreadable store", std::string("\x01 not a cookie store"), std::nullopt},
                {"no store", std::nullopt, 0}};
    for (const auto& [what, bytes, count] : rows) {
        SCOPED_TRACE(what);
        fs::remove(home.library() + "/Cookies/Cookies.binarycookies");
        if (bytes) {
            home.file(store, *bytes);
        }
        const HardResetPreview preview = previewHardReset(
            fileSystem, UserFolders{home.path(), home.library()}, "com.apple.Safari", &cookies);
        EXPECT_EQ(preview.cookies, count);
        ASSERT_EQ(preview.entries.size(), 2u);
        EXPECT_EQ(preview.entries[0].path, home.library() + "/Safari");
        EXPECT_EQ(preview.entries[0].items, 3u); // the History folder and two files
        EXPECT_EQ(preview.entries[1].path, home.library() + "/Caches/com.apple.Safari");
        EXPECT_EQ(preview.entries[1].items, 1u);
        EXPECT_EQ(preview.cookieStore, cookies.location());
    }
}

} // namespace
} // namespace corvane::testing
