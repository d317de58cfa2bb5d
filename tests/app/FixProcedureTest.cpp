#include "core/fix/ResetRecord.h"
#include "support/DelegateFixture.h"
#include "support/FixDoubles.h"
#include "support/RecordingTrash.h"
#include "support/Records.h"

#include <cerrno>
#include <filesystem>
#include <set>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Runs = std::vector<ToolRun>;
using Paths = std::vector<std::string>;

constexpr const char* kSuccess =
    "Default settings for Example.app have been successfully restored.\n";

class FixProcedure : public DelegateFixture {
protected:
    FixProcedure() {
        services.launcher = &launcher;
        services.runningApplications = &running;
        services.cookieStore = &cookieStore;
        services.clock = &clock;
        services.trash = &trash;
        launcher.events = &events;
        running.events = &events;
        trash.events = &events;
        realLibrary = fs::canonical(home.path()).string() + "/Library";
    }

    // Picks the bundle in the chooser, which analyses it and enables Fix.
    void choose(const std::string& bundlePath, const std::string& identifier) {
        bundles.bundles[bundlePath] = BundleInfo{identifier, std::nullopt, std::nullopt};
        openPanel.picks.push_back(bundlePath);
        delegate().chooseApp();
    }

    ToolRun rm(const std::string& relative) const {
        return {"/bin/rm", "-rf", inLibrary(relative)};
    }
    std::string inLibrary(const std::string& relative) const {
        return realLibrary + "/" + relative;
    }
    std::optional<ResetRecord> latestRecord() const { return latestRecordIn(home.library()); }
    static ToolRun defaults(const std::string& verb, const std::string& identifier) {
        return {"/usr/bin/defaults", verb, identifier};
    }
    // The per-host domain's clearing, right after the first delete.
    static ToolRun forHost(const std::string& identifier) {
        return {"/usr/bin/defaults", "-currentHost", "delete", identifier};
    }
    static ToolRun killall(const std::string& name) { return {"/usr/bin/killall", name}; }

    // The texts the info view showed from the first progress text on.
    std::vector<std::string> progressTexts() const {
        const auto& all = window.infoView.history;
        auto first = std::find_if(all.begin(), all.end(), [](const std::string& text) {
            return text == "Fixing..." ||
                   text == "Please log out and log back in to complete the restore.";
        });
        return {first, all.end()};
    }

    RecordingLauncher launcher;
    ScriptedRunningApplications running;
    RecordingCookieStore cookieStore;
    FakeClock clock;
    RecordingTrash trash{home.path() + "/.test-trash"};
    std::vector<std::string> events;
    std::string realLibrary;
};

TEST_F(FixProcedure, UntickedKindsStayOutOfTheReportAndTheFixAndOnlySettingsClearTheDomain) {
    const Runs clears = {defaults("read", "com.x.App"), defaults("delete", "com.x.App"),
                         forHost("com.x.App")};
    struct Case {
        const char* label;
        std::vector<EntryKind> unticked;
        Paths moved;
        Runs runs;
        std::vector<std::string> recordedKinds;
    };
    const Case cases[] = {
        {"window state only",
         {EntryKind::Preferences, EntryKind::ContainerPreferences},
         {inLibrary("Saved Application State/com.x.App.savedState")},
         {},
         {"saved_state"}},
        {"sandbox settings only",
         {EntryKind::Preferences, EntryKind::SavedState},
         {inLibrary("Containers/com.x.App/Data/Library/Preferences/c.plist")},
         clears,
         {"container_preferences"}},
        {"nothing",
         {EntryKind::Preferences, EntryKind::ContainerPreferences, EntryKind::SavedState},
         {},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        home.file("Library/Preferences/com.x.App.plist");
        home.file("Library/Saved Application State/com.x.App.savedState/windows.plist");
        home.file("Library/Containers/com.x.App/Data/Library/Preferences/c.plist");
        trash.moved.clear();
        launcher.runs.clear();
        choose("/Applications/Example.app", "com.x.App");
        ASSERT_EQ(window.kindChoices.choices.size(), 3u);
        const std::string full = window.infoView.string();
        for (const EntryKind kind : c.unticked) {
            delegate().chooseKind(kind, false);
        }
        for (const KindChoices::Choice& choice : window.kindChoices.choices) {
            const bool unticked = std::find(c.unticked.begin(), c.unticked.end(),
                                            *kindWithId(choice.id)) != c.unticked.end();
            EXPECT_EQ(choice.chosen, !unticked) << choice.id;
        }
        // The report lists what stays ticked, in the same words as the whole one.
        for (const PlannedEntry& entry : delegate().plan()->entries) {
            const bool unticked =
                std::find(c.unticked.begin(), c.unticked.end(), entry.kind) != c.unticked.end();
            EXPECT_EQ(window.infoView.string().find("\n" + entry.shown + "\n") != std::string::npos,
                      !unticked)
                << entry.shown;
            EXPECT_NE(full.find("\n" + entry.shown + "\n"), std::string::npos);
        }
        EXPECT_EQ(window.fixButton.enabled, !c.moved.empty());
        if (c.moved.empty()) {
            continue;
        }
        delegate().fixButtonMethod();
        EXPECT_EQ(trash.moved, c.moved);
        EXPECT_EQ(launcher.runs, c.runs);
        for (const std::string kept :
             {"Preferences/com.x.App.plist", "Saved Application State/com.x.App.savedState",
              "Containers/com.x.App/Data/Library/Preferences/c.plist"}) {
            const bool movedIt =
                std::find(c.moved.begin(), c.moved.end(), inLibrary(kept)) != c.moved.end();
            EXPECT_EQ(home.exists("Library/" + kept), !movedIt) << kept;
        }
        const std::optional<ResetRecord> record = latestRecord();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->kinds, c.recordedKinds);
    }
}

TEST_F(FixProcedure, OrdinaryTargetRemovesWhatStillExistsThenClearsTheDomain) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/com.x.App/a.plist");
    home.file("Library/Preferences/com.x.App/b.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/windows.plist");
    home.file("Library/Preferences/com.y.Other.plist");
    choose("/Applications/Example.app", "com.x.App");
    ASSERT_TRUE(window.fixButton.enabled);

    delegate().fixButtonMethod();

    // The entries beneath a trashed folder are gone by their turn and need no move.
    EXPECT_EQ(trash.moved,
              (Paths{inLibrary("Preferences/com.x.App"), inLibrary("Preferences/com.x.App.plist"),
                     inLibrary("Saved Application State/com.x.App.savedState")}));
    EXPECT_EQ(launcher.runs, (Runs{defaults("read", "com.x.App"), defaults("delete", "com.x.App"),
                                   forHost("com.x.App")}));
    // The record names each entry's place in the Trash, where it really is.
    const std::optional<ResetRecord> record = latestRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->identifier, "com.x.App");
    EXPECT_EQ(record->applicationName, "Example.app");
    EXPECT_EQ(record->applicationPath, "/Applications/Example.app");
    ASSERT_EQ(record->moved.size(), trash.moved.size());
    for (std::size_t i = 0; i < trash.moved.size(); ++i) {
        EXPECT_EQ(record->moved[i].original, trash.moved[i]);
        EXPECT_TRUE(fs::exists(record->moved[i].trashed)) << record->moved[i].trashed;
    }
    EXPECT_TRUE(record->removed.empty());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"defaults 1 exited with: success!",
                                                   "defaults -currentHost exited with: success!"}));
    EXPECT_EQ(progressTexts(),
              (std::vector<std::string>{"Fixing...", "App isn't running, starting to fix...",
                                        "Waiting for an app to fix..."}));
    EXPECT_TRUE(window.infoView.rangeHasColour(0, 28, Color::infoBlue()));
    EXPECT_EQ(running.queries, 1);
    EXPECT_TRUE(running.terminated.empty());
    EXPECT_TRUE(home.exists("Library/Preferences/com.y.Other.plist"));

    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText,
              std::string(kSuccess) +
                  "The removed files are in the Trash; press Restore to put them back.\n");
    EXPECT_EQ(alerts.sheets[0].messageText, "");
    ASSERT_EQ(alerts.sheets[0].buttons.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].buttons[0].title, "OK");
    EXPECT_EQ(alerts.sheets[0].style, AlertStyle::Informational);
    EXPECT_TRUE(alerts.shown.empty());

    EXPECT_TRUE(delegate().fullFilePaths().empty());
    EXPECT_TRUE(delegate().fullStatePaths().empty());
    EXPECT_FALSE(delegate().shortFilePaths().empty());
    EXPECT_FALSE(window.fixButton.enabled);
    EXPECT_FALSE(window.chooseButton.hidden);
}

TEST_F(FixProcedure, BothFirstDeletesLogTheirOutcomeAfterTheReasonATaskFailed) {
    const std::string missing = "could not start /usr/bin/defaults: No such file or directory";
    struct Row {
        Result<ProcessOutput> ran;
        std::string reason; // what the run itself logs, before the delete's own line
        std::string logged;
    };
    const std::vector<Row> rows = {
        {Error{missing, ENOENT}, missing, "it could not be run"},
        {ProcessOutput{}, "", "success!"},
        {ProcessOutput{"Domain com.x.App not found.\n", "", 0}, "",
         "Domain com.x.App not found.\n"},
        {ProcessOutput{"", "Domain (com.x.App) not found.\r\nDefaults have not been changed.\n", 1},
         "/usr/bin/defaults exited with status 1: Domain (com.x.App) not found.", "success!"},
        {ProcessOutput{"", "", 134}, "/usr/bin/defaults exited with status 134", "success!"},
        {ProcessOutput{"ok\xff", "", 0},
         "/usr/bin/defaults wrote output that is not UTF-8; it was dropped", "it could not be run"},
    };
    for (const Row& row : rows) {
        log.lines.clear();
        launcher.outputs.insert_or_assign(defaults("delete", "com.x.App"), row.ran);
        launcher.outputs.insert_or_assign(forHost("com.x.App"), row.ran);
        target("com.x.App");
        delegate().setPath("/Applications/Example.app");
        delegate().fixButtonMethod();
        std::vector<std::string> expected;
        for (const std::string& line : {"defaults 1 exited with: " + row.logged,
                                        "defaults -currentHost exited with: " + row.logged}) {
            if (!row.reason.empty()) {
                expected.push_back(row.reason);
            }
            expected.push_back(line);
        }
        EXPECT_EQ(log.lines, expected) << row.logged;
    }
}

TEST_F(FixProcedure, RunningTargetIsAskedToQuitBeforeAnythingIsRemoved) {
    home.file("Library/Preferences/com.x.App.plist");
    choose("/Applications/Example.app", "com.x.App");
    running.running["com.x.App"] = {101, 102};

    delegate().fixButtonMethod();

    // Every instance is asked, once, and the removal waits for them to be gone.
    EXPECT_EQ(events, (std::vector<std::string>{
                          "terminate 101", "terminate 102",
                          "trash " + realLibrary + "/Preferences/com.x.App.plist",
                          "/usr/bin/defaults read com.x.App", "/usr/bin/defaults delete com.x.App",
                          "/usr/bin/defaults -currentHost delete com.x.App"}));
    EXPECT_EQ(progressTexts(),
              (std::vector<std::string>{"Fixing...", "App is running. Trying to quit... 10 s",
                                        "App isn't running, starting to fix...",
                                        "Waiting for an app to fix..."}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{100ms}));
    EXPECT_GT(application.responsivePasses, 0);
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText.rfind(kSuccess, 0), 0u);
}

TEST_F(FixProcedure, TargetThatDoesNotQuitKeepsEverythingAndTheWindowReady) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/w.plist");
    choose("/Applications/Example.app", "com.x.App");
    const std::string report = window.infoView.string();
    const std::vector<ColourRun> colours = window.infoView.colourRuns();
    ASSERT_GT(colours.size(), 1u) << "the report's lists are grey";
    const PathList listed = delegate().fullFilePaths();
    running.running["com.x.App"] = {101, 102};
    running.stubborn = {102};
    std::set<bool> fixEnabledWhileWaiting;
    application.onPass = [&] {
        if (!application.openSpans.empty() && application.openSpans.back()) {
            fixEnabledWhileWaiting.insert(window.fixButton.enabled);
        }
    };
    const std::size_t textsBefore = window.infoView.history.size();

    delegate().fixButtonMethod();

    EXPECT_EQ(running.terminated, (std::vector<pid_t>{101, 102}));
    EXPECT_GE(clock.elapsed(), 10s);
    EXPECT_LE(clock.elapsed(), 10s + 100ms);
    EXPECT_EQ(clock.sleeps.front(), 100ms);
    // The wait counted down the whole seconds left, each shown once, with Fix unavailable.
    std::vector<std::string> countdown;
    for (std::size_t i = textsBefore; i < window.infoView.history.size(); ++i) {
        const std::string& text = window.infoView.history[i];
        if (text.rfind("App is running. Trying to quit... ", 0) == 0) {
            countdown.push_back(text.substr(text.rfind("... ") + 4));
        }
    }
    EXPECT_EQ(countdown, (std::vector<std::string>{"10 s", "9 s", "8 s", "7 s", "6 s", "5 s", "4 s",
                                                   "3 s", "2 s", "1 s"}));
    EXPECT_EQ(fixEnabledWhileWaiting, std::set<bool>{false});
    // Nothing was removed and the preferences domain was left alone.
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(trash.moved.empty());
    EXPECT_FALSE(latestRecord());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(home.exists("Library/Preferences/com.x.App.plist"));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_NE(alerts.shown[0].informativeText.find("Example.app did not quit"), std::string::npos);
    EXPECT_NE(alerts.shown[0].informativeText.find("press \"Fix\" again"), std::string::npos);
    EXPECT_TRUE(alerts.sheets.empty());
    // The window is back as it was before Fix: the report with its grey lists, Fix ready.
    EXPECT_TRUE(window.fixButton.enabled);
    EXPECT_EQ(delegate().fullFilePaths(), listed);
    EXPECT_EQ(delegate().fullStatePaths().size(), 2u);
    EXPECT_EQ(window.infoView.string(), report);
    EXPECT_EQ(window.infoView.colourRuns(), colours);
    EXPECT_EQ(window.nameField.value, "Example.app");
}

TEST_F(FixProcedure, TheCancelControlStopsTheQuitWaitAtOnceAndPutsTheReportBack) {
    home.file("Library/Preferences/com.x.App.plist");
    choose("/Applications/Example.app", "com.x.App");
    const std::string report = window.infoView.string();
    const std::vector<ColourRun> colours = window.infoView.colourRuns();
    running.running["com.x.App"] = {101};
    running.stubborn = {101};
    int passes = 0;
    std::vector<bool> spansAtStop;
    int queriesAtStop = 0;
    application.onPass = [&] {
        if (++passes == 3) {
            spansAtStop = application.openSpans;
            queriesAtStop = running.queries;
            delegate().stopProgress(); // the (X) control's action
        }
    };

    delegate().fixButtonMethod();

    // The click reached the wait because its span, the innermost, may be cancelled.
    ASSERT_FALSE(spansAtStop.empty());
    EXPECT_TRUE(spansAtStop.back());
    EXPECT_FALSE(spansAtStop.front()) << "the rest of the fix is deaf";
    EXPECT_TRUE(application.openSpans.empty());
    EXPECT_EQ(running.queries, queriesAtStop) << "no poll after the stop";
    EXPECT_LT(clock.elapsed(), 1s);
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(home.exists("Library/Preferences/com.x.App.plist"));
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(alerts.sheets.empty());
    EXPECT_EQ(window.infoView.string(), report);
    EXPECT_EQ(window.infoView.colourRuns(), colours);
    EXPECT_TRUE(window.fixButton.enabled);
    EXPECT_EQ(window.nameField.value, "Example.app");

    // Once the wait is over the control is the usual one again.
    delegate().stopProgress();
    EXPECT_EQ(window.infoView.string(), "Waiting for an app to fix...");
}

class SafariFix : public FixProcedure {
protected:
    void chooseSafari(int answer) {
        alerts.answers.push_back(answer);
        choose("/Applications/Safari.app", "com.apple.Safari");
    }
    std::string adware() const {
        return fs::canonical(home.path()).string() + "/Library/Application Support/osxDownloader";
    }
};

TEST_F(SafariFix, SoftResetRemovesOnlyTheListedEntries) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Application Support/osxDownloader/payload");
    home.file("Library/Safari/LastSession.plist");
    home.file("Library/Safari/History.db");
    home.file("Library/Caches/com.apple.Safari/cache.db");
    cookieStore.stored = {{".example.org", "id", "/"}};
    chooseSafari(kAlertSecondButtonReturn);

    delegate().fixButtonMethod();

    EXPECT_EQ(trash.moved, (Paths{inLibrary("Preferences/com.apple.Safari.plist"), adware(),
                                  inLibrary("Safari/LastSession.plist")}));
    EXPECT_EQ(launcher.runs,
              (Runs{defaults("read", "com.apple.Safari"), defaults("delete", "com.apple.Safari"),
                    forHost("com.apple.Safari")}));
    EXPECT_TRUE(home.exists("Library/Safari/History.db"));
    EXPECT_TRUE(home.exists("Library/Caches/com.apple.Safari/cache.db"));
    EXPECT_TRUE(cookieStore.deleted.empty());
    EXPECT_TRUE(trash.copied.empty());
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText.rfind(
                  "Default settings for Safari.app have been successfully restored.\n", 0),
              0u);
}

TEST_F(SafariFix, HardResetRemovesSafariFolderThenMatchingCachesAndCookiesIgnoringCase) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Safari/History.db");
    home.file("Library/Caches/com.apple.Safari/cache.db");
    home.file("Library/Caches/COM.APPLE.SAFARI/db");
    home.file("Library/Caches/com.apple.Safari.SafeBrowsing/db");
    home.file("Library/Caches/com.other.App/cache.db");
    home.file("Library/Cookies/com.apple.Safari.binarycookies");
    home.file("Library/Cookies/com.apple.SafariTechnologyPreview.binarycookies");
    home.file("Library/Cookies/Cookies.binarycookies");
    cookieStore.stored = {{".example.org", "id", "/"}, {"news.example.com", "session", "/a"}};
    chooseSafari(kAlertFirstButtonReturn);

    delegate().fixButtonMethod();

    EXPECT_EQ(launcher.runs,
              (Runs{defaults("read", "com.apple.Safari"), defaults("delete", "com.apple.Safari"),
                    forHost("com.apple.Safari")}));
    EXPECT_EQ(events, (Paths{"trash " + inLibrary("Preferences/com.apple.Safari.plist"),
                             "/usr/bin/defaults read com.apple.Safari",
                             "/usr/bin/defaults delete com.apple.Safari",
                             "/usr/bin/defaults -currentHost delete com.apple.Safari",
                             "trash " + inLibrary("Safari"),
                             "trash " + inLibrary("Caches/COM.APPLE.SAFARI"),
                             "trash " + inLibrary("Caches/com.apple.Safari"),
                             "trash " + inLibrary("Cookies/com.apple.Safari.binarycookies")}));
    // Other applications' caches and cookies stay, however alike their names.
    EXPECT_TRUE(home.exists("Library/Caches/com.other.App/cache.db"));
    EXPECT_TRUE(home.exists("Library/Caches/com.apple.Safari.SafeBrowsing/db"));
    EXPECT_TRUE(home.exists("Library/Cookies/com.apple.SafariTechnologyPreview.binarycookies"));
    EXPECT_TRUE(home.exists("Library/Cookies/Cookies.binarycookies"));
    EXPECT_TRUE(cookieStore.stored.empty());
    EXPECT_EQ(cookieStore.deleted.size(), 2u);
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText.rfind(
                  "Default settings for Safari.app have been successfully restored.\n", 0),
              0u);
}

TEST_F(SafariFix, HardResetTakesAnAdwareFolderThatAppearedAfterTheAnalysisSecond) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Safari/History.db");
    chooseSafari(kAlertFirstButtonReturn);
    home.file("Library/Application Support/osxDownloader/payload");

    delegate().fixButtonMethod();

    EXPECT_EQ(trash.moved, (Paths{inLibrary("Preferences/com.apple.Safari.plist"),
                                  inLibrary("Safari"), adware()}));
    EXPECT_FALSE(home.exists("Library/Application Support/osxDownloader"));
}

TEST_F(SafariFix, HardResetWithListedAdwareRemovesItOnceInTheListedPass) {
    home.file("Library/Application Support/osxDownloader/payload");
    cookieStore.stored = {{".example.org", "id", "/"}};
    chooseSafari(kAlertFirstButtonReturn);

    delegate().fixButtonMethod();

    EXPECT_EQ(trash.moved, Paths{adware()});
    // Nothing matched in the caches or cookies folders; the cookie store is emptied all the same.
    EXPECT_TRUE(cookieStore.stored.empty());
}

TEST_F(SafariFix, HardResetDoesNotWalkACachesFolderThatLeadsOutOfTheHome) {
    std::string outside = (fs::temp_directory_path() / "corvane-outside-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(outside.data()));
    fs::create_directories(outside + "/com.apple.Safari");
    home.file("Library/Safari/History.db");
    fs::create_directory_symlink(outside, home.library() + "/Caches");
    chooseSafari(kAlertFirstButtonReturn);

    delegate().fixButtonMethod();

    EXPECT_EQ(trash.moved, Paths{inLibrary("Safari")});
    EXPECT_TRUE(fs::exists(outside + "/com.apple.Safari"));
    // Not even offered for removal: the folder is not walked at all.
    EXPECT_EQ(log.lines, (std::vector<std::string>{"defaults 1 exited with: success!",
                                                   "defaults -currentHost exited with: success!"}));
    fs::remove_all(outside);
}

struct SystemTargetRow {
    std::string identifier;
    std::vector<std::string> restarted;
};

class SystemTarget : public FixProcedure, public ::testing::WithParamInterface<SystemTargetRow> {};

TEST_P(SystemTarget, RestartsWhatTheIdentifierNamesAndClearsTheDomainTwice) {
    const std::string id = GetParam().identifier;
    home.file("Library/Preferences/" + id + ".plist");
    choose("/System/Library/coreSERVICES/Target.app", id);
    running.running[id] = {101};

    delegate().fixButtonMethod();

    Runs expected{defaults("read", id), defaults("delete", id), forHost(id)};
    for (const std::string& name : GetParam().restarted) {
        expected.push_back(killall(name));
    }
    expected.push_back(defaults("delete", id));
    EXPECT_EQ(launcher.runs, expected);
    EXPECT_EQ(trash.moved, Paths{inLibrary("Preferences/" + id + ".plist")});
    EXPECT_EQ(log.lines, (std::vector<std::string>{"defaults 1 exited with: success!",
                                                   "defaults -currentHost exited with: success!",
                                                   "defaults 2 exited with: "}));
    // A system target is never looked for nor asked to quit.
    EXPECT_EQ(running.queries, 0);
    EXPECT_TRUE(running.terminated.empty());
    EXPECT_TRUE(delegate().isSystemApp());
    EXPECT_EQ(progressTexts(),
              (std::vector<std::string>{"Please log out and log back in to complete the restore.",
                                        "Waiting for an app to fix..."}));
}

INSTANTIATE_TEST_SUITE_P(Identifiers, SystemTarget,
                         ::testing::Values(SystemTargetRow{"com.apple.dock", {"Dock"}},
                                           SystemTargetRow{"com.apple.finder", {"Finder"}},
                                           SystemTargetRow{"com.apple.dock.com.apple.finder",
                                                           {"Dock", "Finder"}},
                                           SystemTargetRow{"COM.Apple.Finder.Helper", {"Finder"}},
                                           SystemTargetRow{"com.apple.loginwindow", {}}));

TEST_F(FixProcedure, WithoutDefaultsOnTheHostTheDomainIsLeftAloneQuietly) {
    struct Row {
        const char* identifier;
        const char* bundle;
        Runs runs; // what still runs
    };
    const Row rows[] = {
        {"com.x.App", "/Applications/Example.app", {}},
        {"com.apple.dock", "/System/Library/CoreServices/Dock.app", {killall("Dock")}},
    };
    launcher.missing = {"/usr/bin/defaults"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.identifier);
        launcher.runs.clear();
        log.lines.clear();
        log.debugLines.clear();
        alerts.sheets.clear();
        home.file("Library/Preferences/" + std::string(row.identifier) + ".plist");
        choose(row.bundle, row.identifier);

        delegate().fixButtonMethod();

        EXPECT_EQ(launcher.runs, row.runs);
        EXPECT_TRUE(log.lines.empty()) << log.lines.front();
        EXPECT_EQ(log.debugLines.size(), 1u);
        ASSERT_EQ(alerts.sheets.size(), 1u);
        EXPECT_EQ(alerts.sheets[0].style, AlertStyle::Informational);
        EXPECT_FALSE(home.exists("Library/Preferences/" + std::string(row.identifier) + ".plist"));
    }
}

TEST_F(FixProcedure, SecondDeleteLogsItsOutputUnchanged) {
    target("com.apple.dock");
    delegate().setPath("/System/Library/CoreServices/Dock.app");
    launcher.outputs.insert_or_assign(defaults("delete", "com.apple.dock"),
                                      ProcessOutput{"Removed.\n", "", 0});
    delegate().fixButtonMethod();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"defaults 1 exited with: Removed.\n",
                                                   "defaults -currentHost exited with: success!",
                                                   "defaults 2 exited with: Removed.\n"}));
}

TEST_F(FixProcedure, DockIdentifierOutsideCoreServicesIsAnOrdinaryTarget) {
    home.file("Library/Preferences/com.apple.dock.plist");
    choose("/Applications/Dock.app", "com.apple.dock");
    delegate().fixButtonMethod();
    EXPECT_EQ(trash.moved, Paths{inLibrary("Preferences/com.apple.dock.plist")});
    EXPECT_EQ(launcher.runs,
              (Runs{defaults("read", "com.apple.dock"), defaults("delete", "com.apple.dock"),
                    forHost("com.apple.dock")}));
    EXPECT_EQ(running.queries, 1);
    EXPECT_FALSE(delegate().isSystemApp());
}

TEST_F(FixProcedure, EmptyListsStillClearTheDomain) {
    target("com.x.App");
    delegate().setPath("/Applications/Example.app");
    delegate().fixButtonMethod();
    EXPECT_EQ(launcher.runs, (Runs{defaults("read", "com.x.App"), defaults("delete", "com.x.App"),
                                   forHost("com.x.App")}));
    // Nothing went anywhere: no word of the Trash, and no record to restore from.
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_EQ(alerts.sheets[0].informativeText, kSuccess);
    EXPECT_FALSE(latestRecord());
}

TEST_F(FixProcedure, WhatWasListedButIsGoneByFixIsNotReportedAsRemoved) {
    home.file("Library/Preferences/com.x.App.plist");
    choose("/Applications/Example.app", "com.x.App");
    // Another run took it between the listing and Fix.
    fs::remove(home.library() + "/Preferences/com.x.App.plist");

    delegate().fixButtonMethod();

    EXPECT_EQ(delegate().lastEnding(), ResetEnding::NothingToDo);
    EXPECT_TRUE(alerts.sheets.empty());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText.find("successfully"), std::string::npos);
    EXPECT_FALSE(latestRecord());
}

// Removal stays inside the user's Library folder.

TEST_F(FixProcedure, PreferencesSwappedForALinkOutsideIsNotRemovedThrough) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("elsewhere/com.x.App.plist");
    choose("/Applications/Example.app", "com.x.App");
    fs::remove_all(home.library() + "/Preferences");
    fs::create_directory_symlink(home.path() + "/elsewhere", home.library() + "/Preferences");

    delegate().fixButtonMethod();

    EXPECT_EQ(launcher.runs, (Runs{defaults("read", "com.x.App"), defaults("delete", "com.x.App"),
                                   forHost("com.x.App")}));
    EXPECT_TRUE(trash.moved.empty());
    EXPECT_TRUE(home.exists("elsewhere/com.x.App.plist"));
    const std::string listed = home.library() + "/Preferences/com.x.App.plist";
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0].rfind("Not removing " + listed + ":", 0), 0u) << log.lines[0];
    EXPECT_EQ(log.lines[1], "defaults 1 exited with: success!");
    // It is still reachable under its listed path, so the sheet says it could not be removed.
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_NE(alerts.sheets[0].informativeText.find(listed), std::string::npos);
    EXPECT_EQ(alerts.sheets[0].informativeText.find("successfully"), std::string::npos);
}

TEST_F(FixProcedure, PathsThatLeadOutOfTheLibraryAreSkipped) {
    launcher.removes = false; // a fault here must not reach the real file system
    home.file("Documents/notes.txt");
    fs::create_directories(home.library() + "/Preferences");
    fs::create_directory_symlink("/", home.library() + "/Preferences/root");
    target("com.x.App");
    delegate().setPath("/Applications/Example.app");
    delegate().setFullFilePaths(
        {home.path() + "/Documents/notes.txt", home.library(), home.library() + "/Preferences/..",
         home.library() + "/Preferences/root/usr", "/usr", "Library/Preferences"});

    delegate().fixButtonMethod();

    EXPECT_EQ(launcher.runs, (Runs{defaults("read", "com.x.App"), defaults("delete", "com.x.App"),
                                   forHost("com.x.App")}));
    // Not even offered to the Trash.
    EXPECT_TRUE(std::none_of(events.begin(), events.end(), [](const std::string& event) {
        return event.rfind("trash ", 0) == 0;
    }));
    EXPECT_EQ(log.lines.size(), 7u); // six refusals, then the first delete and the per-host one
    EXPECT_TRUE(home.exists("Documents/notes.txt"));
}

TEST_F(FixProcedure, ALinkIsRemovedAsALinkAndNoPathKeepsATrailingSlash) {
    home.file("outside/keep.txt");
    home.file("Library/Preferences/com.x.App/a.plist");
    fs::create_directory_symlink(home.path() + "/outside",
                                 home.library() + "/Preferences/com.x.App.link");
    target("com.x.App");
    delegate().setPath("/Applications/Example.app");
    delegate().setFullFilePaths({home.library() + "/Preferences/com.x.App.link/",
                                 home.library() + "/Preferences/com.x.App//"});

    delegate().fixButtonMethod();

    EXPECT_EQ(trash.moved,
              (Paths{inLibrary("Preferences/com.x.App.link"), inLibrary("Preferences/com.x.App")}));
    EXPECT_FALSE(home.exists("Library/Preferences/com.x.App.link"));
    EXPECT_TRUE(home.exists("outside/keep.txt"));
}

TEST_F(FixProcedure, WhatNoTrashTakesIsRemovedForGoodOnlyWhenTheUserSaysSo) {
    struct Row {
        const char* what;
        int answer;
        bool agreed;
    };
    const std::vector<Row> rows = {
        {"Return presses Cancel", kAlertFirstButtonReturn, false},
        {"Escape or closing the alert", kAlertDismissedReturn, false},
        {"Remove for Good", kAlertSecondButtonReturn, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        home.file("Library/Preferences/com.x.App.plist");
        home.file("Library/Saved Application State/com.x.App.savedState/w.plist");
        choose("/Applications/Example.app", "com.x.App");
        trash.refused = {inLibrary("Preferences/com.x.App.plist")};
        launcher.runs.clear();
        alerts.shown.clear();
        alerts.sheets.clear();
        alerts.answers = {row.answer};
        const Paths files = delegate().fullFilePaths();
        const Paths states = delegate().fullStatePaths();

        delegate().fixButtonMethod();

        ASSERT_EQ(alerts.shown.size(), 1u);
        const Alert& question = alerts.shown[0];
        EXPECT_EQ(question.purpose, AlertPurpose::RemoveForGood);
        EXPECT_NE(question.messageText.find("1 entry cannot be moved to the Trash (" +
                                            *trash.unavailableReason(*trash.refused.begin()) + ")"),
                  std::string::npos)
            << question.messageText;
        EXPECT_NE(question.informativeText.find(inLibrary("Preferences/com.x.App.plist")),
                  std::string::npos);
        EXPECT_EQ(home.exists("Library/Preferences/com.x.App.plist"), !row.agreed);
        EXPECT_EQ(home.exists("Library/Saved Application State/com.x.App.savedState"), !row.agreed)
            << "Cancel removes nothing at all";
        const std::optional<ResetRecord> record = latestRecord();
        if (!row.agreed) {
            EXPECT_TRUE(launcher.runs.empty());
            EXPECT_TRUE(alerts.sheets.empty());
            EXPECT_FALSE(record);
            EXPECT_EQ(delegate().lastEnding(), ResetEnding::Declined);
            EXPECT_TRUE(window.fixButton.enabled) << "the window stays ready";
            EXPECT_EQ(delegate().fullFilePaths(), files) << "with the same lists for Fix";
            EXPECT_EQ(delegate().fullStatePaths(), states);
            continue;
        }
        EXPECT_EQ(launcher.runs.front(), rm("Preferences/com.x.App.plist"));
        ASSERT_TRUE(record);
        EXPECT_EQ(record->removed, Paths{inLibrary("Preferences/com.x.App.plist")});
        ASSERT_EQ(record->moved.size(), 1u);
        EXPECT_EQ(record->moved[0].original,
                  inLibrary("Saved Application State/com.x.App.savedState"));
        ASSERT_EQ(alerts.sheets.size(), 1u);
        EXPECT_EQ(alerts.sheets[0].informativeText,
                  std::string(kSuccess) +
                      "1 entry was removed for good, as you agreed. The removed files are in the "
                      "Trash; press Restore to put them back.\n");
        EXPECT_EQ(delegate().lastEnding(), ResetEnding::Done);
    }
}

TEST_F(FixProcedure, WhenItCannotBeToldWhetherTheTargetRunsNothingIsRemoved) {
    home.file("Library/Preferences/com.x.App.plist");
    choose("/Applications/Example.app", "com.x.App");
    running.unreadable = "the process table cannot be read";
    const Paths listed = delegate().fullFilePaths();
    ASSERT_FALSE(listed.empty());

    delegate().fixButtonMethod();
    EXPECT_EQ(delegate().fullFilePaths(), listed);

    EXPECT_TRUE(home.exists("Library/Preferences/com.x.App.plist"));
    EXPECT_TRUE(trash.moved.empty());
    EXPECT_TRUE(launcher.runs.empty());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText,
              "Corvane could not tell whether Example.app is running, so nothing was removed.");
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Declined);
    EXPECT_TRUE(window.fixButton.enabled);
}

TEST_F(FixProcedure, AMoveThatFailsAfterAllLeavesTheEntryInPlaceAndSaysWhy) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/com.x.App.plist.lockfile");
    choose("/Applications/Example.app", "com.x.App");
    trash.failing = {inLibrary("Preferences/com.x.App.plist")};

    delegate().fixButtonMethod();

    EXPECT_TRUE(home.exists("Library/Preferences/com.x.App.plist"));
    EXPECT_FALSE(home.exists("Library/Preferences/com.x.App.plist.lockfile"));
    EXPECT_TRUE(alerts.shown.empty()) << "the look ahead saw no reason to ask";
    EXPECT_EQ(
        std::count(launcher.runs.begin(), launcher.runs.end(), rm("Preferences/com.x.App.plist")),
        0)
        << "never removed for good without consent";
    ASSERT_EQ(alerts.sheets.size(), 1u);
    const std::string& text = alerts.sheets[0].informativeText;
    EXPECT_EQ(text.find("successfully"), std::string::npos);
    EXPECT_NE(text.find(home.library() + "/Preferences/com.x.App.plist\n"), std::string::npos);
    EXPECT_NE(text.find("the test Trash fails it"), std::string::npos) << text;
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Partial);
    const std::optional<ResetRecord> record = latestRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->moved.size(), 1u);
}

TEST_F(FixProcedure, LeftoversAreNamedInsteadOfClaimingSuccess) {
    services.trash = nullptr; // no Trash: the removal tool runs, but removes nothing
    launcher.removes = false;
    alerts.answers = {kAlertSecondButtonReturn}; // remove them for good
    for (int i = 0; i < 12; ++i) {
        home.file("Library/Preferences/com.x.App.plist." + std::to_string(10 + i));
    }
    choose("/Applications/Example.app", "com.x.App");

    delegate().fixButtonMethod();

    EXPECT_EQ(launcher.runs.size(), 15u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"defaults 1 exited with: success!",
                                                   "defaults -currentHost exited with: success!"}));
    ASSERT_EQ(alerts.sheets.size(), 1u);
    const Alert& sheet = alerts.sheets[0];
    EXPECT_EQ(sheet.informativeText.find("successfully"), std::string::npos);
    EXPECT_NE(sheet.informativeText.find("Example.app"), std::string::npos);
    EXPECT_NE(sheet.informativeText.find(home.library() + "/Preferences/com.x.App.plist.10\n"),
              std::string::npos);
    EXPECT_NE(sheet.informativeText.find("...and 2 more."), std::string::npos);
    EXPECT_EQ(sheet.informativeText.find("com.x.App.plist.21"), std::string::npos);
    EXPECT_EQ(sheet.style, AlertStyle::Warning);
    // The window returns to waiting all the same.
    EXPECT_TRUE(delegate().fullFilePaths().empty());
    EXPECT_FALSE(window.fixButton.enabled);
}

} // namespace
} // namespace corvane::testing
