#include "core/fix/Restore.h"

#include "core/UserFolders.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"
#include "support/DelegateFixture.h"
#include "support/FixDoubles.h"
#include "support/RecordingTrash.h"
#include "support/Records.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

void writeAt(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

bool present(const std::string& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

// One reset entry: a file that was in the Library and now lies in the Trash.
class PutBackOne : public ::testing::Test {
public: // the rows of the table below arrange the test's state
    PutBackOne() {
        library = fs::canonical(home.path()).string() + "/Library";
        original = library + "/Preferences/com.x.App.plist";
        writeAt(original, "reset");
        entry = trashEntry(trash, original);
    }

    RestoreResult restore() {
        ResetRecord record;
        record.applicationName = "Example.app";
        record.moved = {entry};
        return restoreRecord(record, trash, fileSystem, Confinement({library}));
    }

    TempHome home;
    HostFileSystem fileSystem;
    RecordingTrash trash{home.path() + "/.test-trash"};
    std::string library;
    std::string original;
    TrashedEntry entry;
};

enum class Became { Restored, KeptInTrash, Gone, Refused, NotOurs, AlreadyBack };

struct Situation {
    const char* what;
    std::function<void(PutBackOne&)> arrange;
    Became expected;
    const char* atOriginal; // the content found at the original place afterwards; "" for none
};

TEST_F(PutBackOne, EachEntryComesBackOnlyToAFreePlaceInsideTheLibrary) {
    const std::vector<Situation> rows = {
        {"free place", [](PutBackOne&) {}, Became::Restored, "reset"},
        {"written again since", [](PutBackOne& t) { writeAt(t.original, "new"); },
         Became::KeptInTrash, "new"},
        {"a dangling link written since",
         [](PutBackOne& t) { fs::create_symlink("/nowhere", t.original); }, Became::KeptInTrash,
         ""},
        {"deleted from the Trash by hand", [](PutBackOne& t) { fs::remove(t.entry.trashed); },
         Became::Gone, ""},
        // An emptied Trash reuses names: an item of the same name is not the one the reset moved.
        {"another item in its place in the Trash",
         [](PutBackOne& t) {
             // Made while the reset's item still exists, so it cannot reuse its inode.
             writeAt(t.entry.trashed + ".new", "someone else's");
             fs::rename(t.entry.trashed + ".new", t.entry.trashed);
         },
         Became::NotOurs, ""},
        {"put back by hand already", [](PutBackOne& t) { fs::rename(t.entry.trashed, t.original); },
         Became::AlreadyBack, "reset"},
        {"its folder gone too", [](PutBackOne& t) { fs::remove_all(t.library + "/Preferences"); },
         Became::Restored, "reset"},
        // Records are files anyone with the user's rights can write.
        {"original outside the Library",
         [](PutBackOne& t) { t.entry.original = t.home.path() + "/Documents/x.plist"; },
         Became::Refused, "reset-not-here"},
        {"original climbing out with ..",
         [](PutBackOne& t) { t.entry.original = t.library + "/../Documents/x.plist"; },
         Became::Refused, "reset-not-here"},
        {"original through a folder that leads out",
         [](PutBackOne& t) {
             fs::create_directories(t.home.path() + "/elsewhere");
             fs::create_directory_symlink(t.home.path() + "/elsewhere", t.library + "/Links");
             t.entry.original = t.library + "/Links/x.plist";
         },
         Became::Refused, "reset-not-here"},
        {"trashed place outside the Trash",
         [](PutBackOne& t) {
             writeAt(t.home.path() + "/Documents/mine.txt", "mine");
             t.entry.trashed = t.home.path() + "/Documents/mine.txt";
         },
         Became::Refused, ""},
        // The cookie store: a copy may replace the emptied file only while nothing rewrote it.
        {"copy over the file as the reset left it",
         [](PutBackOne& t) {
             writeAt(t.original, "emptied");
             t.entry.leftInPlace = t.fileSystem.stamp(t.original);
         },
         Became::Restored, "reset"},
        {"copy over a file rewritten since",
         [](PutBackOne& t) {
             writeAt(t.original, "emptied");
             t.entry.leftInPlace = t.fileSystem.stamp(t.original);
             fs::remove(t.original);
             writeAt(t.original, "cookies set since");
         },
         Became::KeptInTrash, "cookies set since"},
    };
    for (const Situation& row : rows) {
        SCOPED_TRACE(row.what);
        // A fresh entry for each row.
        fs::remove_all(library);
        writeAt(original, "reset");
        entry = trashEntry(trash, original);
        row.arrange(*this);
        const std::string trashedBefore = entry.trashed;
        const bool wasInTrash = present(trashedBefore);

        const RestoreResult result = restore();

        const std::size_t counts[] = {result.restored.size(), result.keptInTrash.size(),
                                      result.gone.size(),     result.refused.size(),
                                      result.notOurs.size(),  result.alreadyBack.size()};
        for (std::size_t i = 0; i < std::size(counts); ++i) {
            EXPECT_EQ(counts[i], i == static_cast<std::size_t>(row.expected) ? 1u : 0u) << i;
        }
        EXPECT_TRUE(result.failed.empty());
        if (row.expected == Became::Refused) {
            EXPECT_FALSE(present(entry.original));
            EXPECT_EQ(present(trashedBefore), wasInTrash);
        } else if (std::string(row.atOriginal).empty()) {
            EXPECT_EQ(present(entry.original), row.expected == Became::KeptInTrash);
        } else {
            EXPECT_EQ(contentOf(entry.original), row.atOriginal);
        }
        // What stays in the Trash is exactly what did not come back, and another item in its
        // place stays there too.
        if (row.expected == Became::NotOurs) {
            EXPECT_EQ(contentOf(trashedBefore), "someone else's");
        } else {
            EXPECT_EQ(present(trashedBefore), wasInTrash && row.expected != Became::Restored);
        }
        if (row.expected == Became::KeptInTrash) {
            EXPECT_EQ(contentOf(trashedBefore), "reset");
        }
    }
}

TEST_F(PutBackOne, TheLastMovedComesBackFirst) {
    // An entry was moved out of a folder that itself went later.
    const std::string folder = library + "/Preferences/com.x.App";
    writeAt(folder + "/a.plist", "a");
    writeAt(folder + "/b.plist", "b");
    ResetRecord record;
    record.moved = {trashEntry(trash, folder + "/a.plist"), trashEntry(trash, folder)};

    const RestoreResult result = restoreRecord(record, trash, fileSystem, Confinement({library}));

    EXPECT_EQ(result.restored.size(), 2u);
    EXPECT_EQ(contentOf(folder + "/a.plist"), "a");
    EXPECT_EQ(contentOf(folder + "/b.plist"), "b");
}

TEST(RestoreText, NamesWhatDidNotComeBackUpToTen) {
    ResetRecord record;
    record.applicationName = "Example.app";
    RestoreResult result;
    result.restored = {"/L/a"};
    for (int i = 0; i < 12; ++i) {
        result.gone.push_back("/L/gone" + std::to_string(10 + i));
    }
    result.keptInTrash = {{"/L/kept", "/T/files/kept", {}, std::nullopt}};
    const std::string text = restoreResultText(record, result);
    EXPECT_EQ(text.rfind("1 entry of Example.app came back.\n", 0), 0u) << text;
    EXPECT_NE(text.find("/L/kept"), std::string::npos);
    EXPECT_NE(text.find("/T/files/kept"), std::string::npos);
    EXPECT_NE(text.find("/L/gone18"), std::string::npos);
    EXPECT_EQ(text.find("/L/gone19"), std::string::npos);
    EXPECT_NE(text.find("...and 3 more."), std::string::npos);
}

TEST(RestoreText, ThePlanCountsWhatItDoesNotName) {
    RestorePlan plan;
    for (std::size_t i = 0; i < 25; ++i) {
        plan.record.moved.push_back(
            {"/L/entry" + std::to_string(10 + i), "/T/files/entry", {}, std::nullopt});
        plan.comeBack.push_back(i);
    }
    for (int i = 0; i < 12; ++i) {
        plan.replaced.push_back("/L/written" + std::to_string(10 + i));
    }
    const std::string text = restorePlanText(plan);
    EXPECT_NE(text.find("/L/entry19\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("/L/entry20"), std::string::npos) << text;
    EXPECT_NE(text.find("/L/entry19\n...and 15 more.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("/L/written19\n...and 2 more.\n"), std::string::npos) << text;
}

// The Restore button and action of the window, over the recording Trash.
class RestoreFlow : public DelegateFixture {
protected:
    RestoreFlow() {
        services.launcher = &launcher;
        services.runningApplications = &running;
        services.clock = &clock;
        services.trash = &trash;
        library = fs::canonical(home.path()).string() + "/Library";
    }

    void chooseAndFix(const std::string& identifier, bool firstReset = true,
                      const std::string& name = "Example.app") {
        bundles.bundles["/Applications/" + name] = BundleInfo{identifier, {}, {}};
        openPanel.picks.push_back("/Applications/" + name);
        delegate().chooseApp();
        ASSERT_TRUE(window.fixButton.enabled);
        if (firstReset) {
            EXPECT_FALSE(window.restoreButton.enabled);
        }
        delegate().fixButtonMethod();
    }

    std::optional<ResetRecord> latest() const { return latestRecordIn(home.library()); }

    RecordingLauncher launcher;
    ScriptedRunningApplications running;
    FakeClock clock;
    RecordingTrash trash{home.path() + "/.test-trash"};
    std::string library;
};

TEST_F(RestoreFlow, RestoreIsOfferedExactlyWhileTheLatestResetHasSomethingInTheTrash) {
    home.file("Library/Preferences/com.x.App.plist", "x settings");
    home.file("Library/Preferences/com.y.App.plist", "y settings");
    delegate();
    EXPECT_FALSE(window.restoreButton.enabled) << "no reset yet";

    chooseAndFix("com.x.App");
    EXPECT_TRUE(window.restoreButton.enabled) << "after a fix";

    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();
    EXPECT_EQ(contentOf(library + "/Preferences/com.x.App.plist"), "x settings");
    EXPECT_FALSE(window.restoreButton.enabled) << "after the restore";
    EXPECT_FALSE(latest()) << "a fully handled record is dropped";

    chooseAndFix("com.y.App");
    EXPECT_TRUE(window.restoreButton.enabled) << "after a second fix";

    // Emptying the Trash by hand leaves nothing to put back.
    fs::remove_all(trash.folder());
    delegate().stopProgress();
    EXPECT_FALSE(window.restoreButton.enabled) << "after the Trash was emptied";
}

TEST_F(RestoreFlow, AskingFirstAndCancelLeavesEverythingAsItIs) {
    home.file("Library/Preferences/com.x.App.plist");
    chooseAndFix("com.x.App");
    const std::optional<ResetRecord> record = latest();
    ASSERT_TRUE(record);
    alerts.shown.clear();
    alerts.answers = {kAlertSecondButtonReturn};

    delegate().restoreButtonMethod();

    ASSERT_EQ(alerts.shown.size(), 1u);
    const Alert& question = alerts.shown[0];
    EXPECT_EQ(question.messageText, restoreQuestionText(*record));
    ASSERT_EQ(question.buttons.size(), 2u);
    EXPECT_EQ(question.buttons[0].title, "Restore");
    EXPECT_EQ(question.buttons[0].keyEquivalent, std::optional<std::string>("\r"));
    EXPECT_EQ(question.buttons[1].title, "Cancel");
    EXPECT_TRUE(trash.putBacks.empty());
    EXPECT_FALSE(home.exists("Library/Preferences/com.x.App.plist"));
    EXPECT_TRUE(window.restoreButton.enabled);
}

TEST_F(RestoreFlow, ATargetThatDoesNotQuitGetsNothingBack) {
    home.file("Library/Preferences/com.x.App.plist");
    chooseAndFix("com.x.App");
    running.running["com.x.App"] = {101};
    running.stubborn = {101};
    alerts.shown.clear();
    alerts.answers = {kAlertFirstButtonReturn};

    delegate().restoreButtonMethod();

    EXPECT_EQ(running.terminated, std::vector<pid_t>{101});
    EXPECT_TRUE(trash.putBacks.empty());
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_NE(alerts.shown[1].informativeText.find("Example.app did not quit"), std::string::npos);
    EXPECT_TRUE(latest());
    EXPECT_TRUE(window.restoreButton.enabled);
}

TEST_F(RestoreFlow, ARunningTargetQuitsBeforeAnythingComesBack) {
    home.file("Library/Preferences/com.x.App.plist");
    chooseAndFix("com.x.App");
    running.running["com.x.App"] = {101};
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};

    delegate().restoreButtonMethod();

    EXPECT_EQ(running.terminated, std::vector<pid_t>{101});
    EXPECT_TRUE(home.exists("Library/Preferences/com.x.App.plist"));
}

// A damaged record, the newest or one of nothing at all (a run killed at its first write),
// never stands in the way of the reset that can come back.
TEST_F(RestoreFlow, DamagedRecordsArePassedOverForTheResetThatCanComeBack) {
    home.file("Library/Preferences/com.x.App.plist", "x settings");
    home.file("Library/Preferences/com.y.App.plist", "y settings");
    chooseAndFix("com.x.App");
    chooseAndFix("com.y.App", false);
    const std::optional<ResetRecord> newest = latest();
    ASSERT_TRUE(newest);
    const std::string folder = ResetRecords::folderIn(home.library());
    std::ofstream(folder + "/" + newest->id, std::ios::binary | std::ios::trunc) << "x{";
    std::ofstream(folder + "/29991231T235959Z-00", std::ios::binary); // empty
    delegate().stopProgress();
    EXPECT_TRUE(window.restoreButton.enabled);

    alerts.shown.clear();
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();

    EXPECT_EQ(contentOf(library + "/Preferences/com.x.App.plist"), "x settings");
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Done);
    EXPECT_TRUE(fs::exists(folder + "/" + newest->id)) << "a damaged record is kept";
}

// An entry refused for now (its folder became a link out of the Library) keeps its record, and
// Restore pressed again once the folder is sound finishes the reset.
TEST_F(RestoreFlow, APartialRestoreKeepsWhatStaysAndRestorePressedAgainFinishesIt) {
    home.file("Library/Preferences/com.x.App.plist", "x settings");
    home.file("Library/Saved Application State/com.x.App.savedState/w.plist", "window");
    chooseAndFix("com.x.App");
    fs::create_directories(home.path() + "/elsewhere");
    fs::remove_all(library + "/Preferences");
    fs::create_directory_symlink(home.path() + "/elsewhere", library + "/Preferences");
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};

    delegate().restoreButtonMethod();

    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Partial);
    EXPECT_EQ(contentOf(library + "/Saved Application State/com.x.App.savedState/w.plist"),
              "window");
    EXPECT_TRUE(fs::is_empty(home.path() + "/elsewhere"));
    const std::optional<ResetRecord> rest = latest();
    ASSERT_TRUE(rest) << "the record is kept for what stays in the Trash";
    ASSERT_EQ(rest->moved.size(), 1u);
    EXPECT_EQ(rest->moved[0].original, library + "/Preferences/com.x.App.plist");
    EXPECT_TRUE(window.restoreButton.enabled);

    fs::remove(library + "/Preferences");
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();

    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Done);
    EXPECT_EQ(contentOf(library + "/Preferences/com.x.App.plist"), "x settings");
    EXPECT_FALSE(latest()) << "nothing of it is left";
    EXPECT_FALSE(window.restoreButton.enabled);
}

TEST_F(RestoreFlow, WhileAnotherRunHoldsTheHomeFixAndRestoreWaitThenChangeNothing) {
    home.file("Library/Preferences/com.x.App.plist", "x settings");
    chooseAndFix("com.x.App");
    home.file("Library/Preferences/com.y.App.plist", "y settings");
    bundles.bundles["/Applications/Other.app"] = BundleInfo{"com.y.App", {}, {}};
    openPanel.picks.push_back("/Applications/Other.app");
    delegate().chooseApp();
    Result<ResetLock, ResetLock::Refusal> other =
        ResetLock::tryTake(ResetRecords::folderIn(home.library()));
    ASSERT_TRUE(other);

    const std::vector<std::pair<const char*, std::function<void()>>> runs = {
        {"fix", [&] { delegate().fixButtonMethod(); }},
        {"restore", [&] { delegate().restoreButtonMethod(); }},
    };
    for (const auto& [what, run] : runs) {
        SCOPED_TRACE(what);
        alerts.shown.clear();
        alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
        const auto before = clock.elapsed();

        run();

        EXPECT_GE(clock.elapsed() - before, std::chrono::seconds(10)) << "it waited first";
        ASSERT_FALSE(alerts.shown.empty());
        EXPECT_EQ(alerts.shown.back().informativeText, "Another reset or restore is in progress.");
        EXPECT_EQ(delegate().lastEnding(), ResetEnding::Declined);
        EXPECT_TRUE(trash.putBacks.empty());
        EXPECT_TRUE(home.exists("Library/Preferences/com.y.App.plist"));
        EXPECT_FALSE(home.exists("Library/Preferences/com.x.App.plist"));
    }
}

// With several resets to put back, Restore lists every kept one, newest first, the newest that
// can come back chosen at the start; a damaged record is listed but cannot be chosen. Cancel
// changes nothing; the reset chosen comes back alone, after the usual question.
TEST_F(RestoreFlow, WithSeveralResetsToPutBackTheUserChoosesOne) {
    for (const char* app : {"x", "y", "z"}) {
        home.file("Library/Preferences/com." + std::string(app) + ".App.plist", app);
    }
    chooseAndFix("com.x.App", true, "X.app");
    const std::optional<ResetRecord> damaged = latest();
    chooseAndFix("com.y.App", false, "Y.app");
    const std::optional<ResetRecord> older = latest();
    chooseAndFix("com.z.App", false, "Z.app");
    ASSERT_TRUE(damaged && older);
    const std::string file = ResetRecords::folderIn(home.library()) + "/" + damaged->id;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "{";
    alerts.shown.clear();

    resetChooser.answers = {std::nullopt};
    delegate().restoreButtonMethod();
    ASSERT_EQ(resetChooser.shown.size(), 1u);
    const auto& [rows, preselected] = resetChooser.shown[0];
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(preselected, 0u);
    EXPECT_EQ(rows[0].application, "Z.app");
    EXPECT_EQ(rows[1].application, "Y.app");
    EXPECT_EQ(rows[2].time, damaged->id);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].restorable, i < 2) << i;
    }
    EXPECT_EQ(rows[1].entries, "1");
    EXPECT_EQ(rows[1].comeBack, "1");
    EXPECT_EQ(rows[1].details, "Library/Preferences/com.y.App.plist\n");
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(trash.putBacks.empty());
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Declined);

    resetChooser.answers = {1};
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown[0].messageText, restoreQuestionText(*older));
    EXPECT_EQ(contentOf(library + "/Preferences/com.y.App.plist"), "y");
    EXPECT_FALSE(home.exists("Library/Preferences/com.z.App.plist"));
    EXPECT_FALSE(home.exists("Library/Preferences/com.x.App.plist"));

    // One reset left to put back: the question comes without the list.
    resetChooser.shown.clear();
    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();
    EXPECT_TRUE(resetChooser.shown.empty());
    EXPECT_EQ(contentOf(library + "/Preferences/com.z.App.plist"), "z");
}

// A row names a reset's first entries, not all of thousands.
TEST_F(RestoreFlow, ARowOfTheListNamesAFewOfItsEntries) {
    ResetRecords records(ResetRecords::folderIn(home.library()));
    for (int r = 0; r < 2; ++r) {
        ResetRecord record;
        record.identifier = "com.m.App";
        record.applicationName = "M.app";
        record.time = 1796686860 + r;
        for (int i = 0; i < 500; ++i) {
            const std::string name = "com.m.App." + std::to_string(r * 1000 + i) + ".plist";
            home.file("Library/Preferences/" + name);
            record.moved.push_back(trashEntry(trash, library + "/Preferences/" + name));
        }
        Result<std::unique_ptr<ResetJournal>> journal = records.begin(record);
        ASSERT_TRUE(journal);
        for (const TrashedEntry& entry : record.moved) {
            ASSERT_TRUE((*journal)->append(movedEntryLine(entry)));
        }
    }
    delegate().stopProgress();
    resetChooser.answers = {std::nullopt};
    delegate().restoreButtonMethod();
    ASSERT_EQ(resetChooser.shown.size(), 1u);
    const std::string& details = resetChooser.shown[0].first[0].details;
    EXPECT_EQ(details.rfind("Library/Preferences/com.m.App.1000.plist\n", 0), 0u) << details;
    EXPECT_LT(std::count(details.begin(), details.end(), '\n'), 40) << details;
    EXPECT_NE(details.find("more"), std::string::npos) << details;
}

// Run as root in a home another user owns, the window refuses before it looks: no analysis, Fix
// unavailable, and neither Fix nor Restore moves anything there.
TEST_F(RestoreFlow, AsRootInAnotherUsersHomeNothingIsAnalysedOrMoved) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    home.file("Library/Preferences/com.x.App.plist", "old");
    chooseAndFix("com.x.App");
    home.file("Library/Preferences/com.x.App.plist", "new");
    ASSERT_EQ(chown(home.path().c_str(), 65534, 65534), 0);
    const std::optional<std::string> refusal =
        foreignHomeRefusal(home.path(), "Corvane", "corvane");
    ASSERT_TRUE(refusal);
    delegate().stopProgress();
    EXPECT_FALSE(window.restoreButton.enabled);

    openPanel.picks.push_back("/Applications/Example.app");
    delegate().chooseApp();
    EXPECT_EQ(window.infoView.string(), *refusal);
    EXPECT_FALSE(window.fixButton.enabled);
    EXPECT_TRUE(delegate().fullFilePaths().empty()) << "nothing was analysed";

    for (const auto& run : std::vector<std::function<void()>>{
             [&] { delegate().fixButtonMethod(); }, [&] { delegate().restoreButtonMethod(); }}) {
        alerts.shown.clear();
        run();
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].informativeText, *refusal);
        EXPECT_EQ(contentOf(library + "/Preferences/com.x.App.plist"), "new");
        EXPECT_TRUE(trash.putBacks.empty());
        EXPECT_EQ(delegate().lastEnding(), ResetEnding::Declined);
    }
}

} // namespace
} // namespace corvane::testing
