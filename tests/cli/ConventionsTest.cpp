#include "cli/CommandLineFixture.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What administrators and scripts rely on: silence on success, one line on failure, and the
// options every command-line program of the desktop takes.
class Conventions : public CommandLine {
protected:
    Conventions() {
        widget = app("Widget.app", "com.example.Widget");
        givePrefs();
    }
    void givePrefs() const { home.file("Library/Preferences/com.example.Widget.plist", "prefs"); }
    std::string prefs() const { return home.library() + "/Preferences/com.example.Widget.plist"; }

    std::string widget;
};

TEST_F(Conventions, ASuccessfulRunWritesNothingOnStandardError) {
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        bool output; // whether standard output says anything
    };
    const Case cases[] = {
        {"reset", {"--reset", "--yes", widget}, true},
        {"restore", {"--restore", "-y"}, true},
        {"reset with JSON", {"--reset", "-y", "--json", widget}, true},
        {"history", {"--history"}, true},
        {"quiet reset", {"--reset", "-yq", widget}, false},
        {"quiet restore", {"-q", "--restore", "-y"}, false},
        {"quiet listing", {"--list", "--quiet", widget}, false},
        {"quiet reset with JSON", {"--reset", "-y", "-q", "--json", widget}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (!fs::exists(prefs()) && c.arguments.front() != "--restore" &&
            c.arguments.front() != "-q") {
            givePrefs();
        }
        const Outcome run = corvane(c.arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.empty(), !c.output) << run.out;
    }
}

TEST_F(Conventions, AFailureIsSaidOnceWithTheStatusItMeans) {
    home.file("a file");
    struct Case {
        const char* label;
        std::optional<std::string> home; // for this run
        std::vector<std::string> arguments;
        std::string redirect;
        int status;
        std::string said; // what the one line holds
    };
    const Case cases[] = {
        {"missing home", "/nonexistent", {"--list", "com.example.Widget"}, {}, 2, "home folder"},
        {"home is a file",
         home.path() + "/a file",
         {"--reset", "-y", widget},
         {},
         2,
         "home folder"},
        {"nothing of the identifier",
         std::nullopt,
         {"--list", "com.example.Unknown"},
         {},
         1,
         "found nothing of com.example.Unknown; looked in " + home.library() + "/Preferences"},
        {"help to a full disk", std::nullopt, {"--help"}, ">/dev/full", 2, "could not write"},
        {"version to a closed output", std::nullopt, {"--version"}, ">&-", 2, "could not write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.home) {
            setenv("HOME", c.home->c_str(), 1);
        }
        const Outcome run = corvane(c.arguments, c.redirect);
        setenv("HOME", home.path().c_str(), 1);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> said = lines(run.err);
        ASSERT_EQ(said.size(), 1u) << run.err;
        EXPECT_EQ(said[0].rfind("corvane: ", 0), 0u) << said[0];
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
    }
    EXPECT_TRUE(fs::exists(prefs()));
}

TEST_F(Conventions, ShortOptionsAndTheWindowToolkitsOwnAreTaken) {
    const std::vector<std::vector<std::string>> forms = {
        {"-style", "fusion", "--list", widget},
        {"--list", "-style=fusion", widget},
        {"--list", "--platform", "offscreen", "-reverse", widget},
    };
    for (const std::vector<std::string>& arguments : forms) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1]);
        const Outcome run = corvane(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(lines(run.out), std::vector<std::string>{prefs()});
    }

    // The help names the program as its other lines do, and documentation that is installed.
    const Outcome help = corvane({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: corvane [options]", 0), 0u) << help.out;
    const std::size_t documentation = help.out.find("cli.md");
    ASSERT_NE(documentation, std::string::npos);
    const std::size_t word = help.out.rfind(' ', documentation) + 1;
    EXPECT_EQ(help.out[word], '/') << help.out.substr(word, documentation - word);

    // The JSON names the home it read, which a script run under sudo may need to know.
    const Outcome listed = corvane({"--list", "--json", widget});
    ASSERT_EQ(listed.status, 0);
    EXPECT_EQ(nlohmann::json::parse(listed.out)["home"]["path"], home.path());
}

TEST_F(Conventions, AResetOrRestoreThatWaitsForTheLockSaysSoOnce) {
    for (const bool restoring : {false, true}) {
        for (const bool quiet : {false, true}) {
            SCOPED_TRACE(std::string(restoring ? "restore" : "reset") + (quiet ? ", quiet" : ""));
            givePrefs();
            if (restoring) {
                ASSERT_EQ(corvane({"--reset", "-y", widget}).status, 0);
            }
            std::optional<Result<ResetLock, ResetLock::Refusal>> held =
                ResetLock::tryTake(ResetRecords::folderIn(home.library()));
            ASSERT_TRUE(*held);
            std::vector<std::string> arguments = {restoring ? "--restore" : "--reset", "-y",
                                                  widget};
            if (quiet) {
                arguments.push_back("-q");
            }
            const pid_t pid = start(arguments, "waits");
            std::this_thread::sleep_for(1500ms);
            EXPECT_NE(fs::exists(prefs()), restoring) << "it went ahead while the lock was held";
            held.reset();
            const Outcome run = finish(pid, home.path() + "/waits.out", home.path() + "/waits.err");
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err,
                      quiet ? "" : "corvane: waiting for another reset or restore to finish...\n");
            EXPECT_EQ(fs::exists(prefs()), restoring);
            fs::remove_all(home.library());
        }
    }
}

TEST_F(Conventions, TheHardResetOfSafariSaysWhatIsLostBeforeItAsks) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Safari/Bookmarks.plist");
    home.file("Library/Safari/History.db");
    const std::string safari = app("Safari.app", "com.apple.Safari");

    const Outcome asked = onTerminal({"--reset", "--safari=hard", safari}, "n");
    EXPECT_EQ(asked.status, 4) << asked.out;
    const std::size_t warning =
        asked.out.find("A Hard reset takes all of " + home.library() + "/Safari (2 items)");
    const std::size_t question = asked.out.find("losing its bookmarks, history and extensions?");
    ASSERT_NE(warning, std::string::npos) << asked.out;
    ASSERT_NE(question, std::string::npos) << asked.out;
    EXPECT_LT(warning, question);
    EXPECT_TRUE(fs::exists(home.library() + "/Safari/Bookmarks.plist"));

    // A Soft reset loses no bookmarks and says nothing of them.
    const Outcome soft = onTerminal({"--reset", "--safari=soft", safari}, "n");
    EXPECT_EQ(soft.out.find("bookmarks"), std::string::npos) << soft.out;
}

TEST_F(Conventions, WhatStayedIsNamedOnceOnStandardError) {
    // A cookie store that cannot be read cannot be emptied: the Hard reset is done in part.
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Cookies/Cookies.binarycookies", "not a cookie store");
    const std::string store = home.library() + "/Cookies/Cookies.binarycookies";
    const std::string safari = app("Safari.app", "com.apple.Safari");

    const Outcome run = corvane({"--reset", "-y", "--safari=hard", safari});

    EXPECT_EQ(run.status, 3);
    const std::vector<std::string> said = lines(run.err);
    ASSERT_EQ(said.size(), 2u) << run.err;
    EXPECT_EQ(said[0].rfind("corvane: could not remove everything for Safari.app", 0), 0u);
    EXPECT_EQ(said[1], "  " + store);
    EXPECT_EQ(run.out.find(store), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("in the Trash; corvane --restore com.apple.Safari"), std::string::npos)
        << run.out;

    // A quiet restore that cannot bring everything back still names what did not come back:
    // a file now stands where the Preferences folder was.
    ASSERT_EQ(corvane({"--reset", "-y", widget}).status, 0);
    fs::remove_all(home.library() + "/Preferences");
    home.file("Library/Preferences", "a file");
    const Outcome restore = corvane({"--restore", "-y", "-q", "com.example.Widget"});
    EXPECT_EQ(restore.status, 3);
    EXPECT_EQ(restore.out, "");
    EXPECT_NE(restore.err.find("corvane: " + prefs()), std::string::npos) << restore.err;
}

// A path is bytes: one that is not UTF-8 reaches the target as it was typed, absolute or
// relative to the working directory.
TEST_F(Conventions, APathThatIsNotUtf8IsTakenByteForByte) {
    const std::string bundle = app("Wid\xff\xfe.app", "com.example.Widget");
    const std::string missing = apps + "/Gone\xff.app";
    const fs::path before = fs::current_path();
    fs::current_path(apps);
    const Outcome relative = corvane({"--list", "./Wid\xff\xfe.app"});
    fs::current_path(before);
    EXPECT_EQ(relative.status, 0) << relative.err;
    EXPECT_EQ(lines(relative.out), std::vector<std::string>{prefs()});
    EXPECT_EQ(corvane({"--list", bundle}).out, relative.out);
    const Outcome gone = corvane({"--list", missing});
    EXPECT_EQ(gone.status, 2);
    EXPECT_NE(gone.err.find(missing + "\n"), std::string::npos) << gone.err;
}

// Every option the summary above the options names is described, and each description starts
// in one column, continued lines too, within 80 characters.
TEST_F(Conventions, TheHelpDescribesEveryOptionInOneColumn) {
    const Outcome help = corvane({"--help"});
    ASSERT_EQ(help.status, 0);
    const std::vector<std::string> all = lines(help.out);
    const auto options = std::find(all.begin(), all.end(), "Options:");
    ASSERT_NE(options, all.end());
    std::set<std::string> named;
    std::string described;
    std::size_t column = 0;
    for (auto line = options + 1; line != all.end() && !line->empty(); ++line) {
        SCOPED_TRACE(*line);
        EXPECT_LE(line->size(), 80u);
        const std::size_t start = line->find_first_not_of(' ');
        if (line->compare(start, 1, "-") == 0) {
            const std::size_t gap = line->find("  ", start);
            ASSERT_NE(gap, std::string::npos);
            described += line->substr(start, gap - start) + ", ";
            column = column == 0 ? line->find_first_not_of(' ', gap) : column;
            EXPECT_EQ(line->find_first_not_of(' ', gap), column);
        } else {
            EXPECT_EQ(start, column);
        }
    }
    EXPECT_GT(column, 0u);
    for (auto line = all.begin(); line != options; ++line) {
        for (std::size_t at = line->find("--"); at != std::string::npos;
             at = line->find("--", at + 2)) {
            const std::size_t end = line->find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
            named.insert(line->substr(at, end - at));
        }
    }
    EXPECT_GE(named.size(), 8u);
    for (const std::string& option : named) {
        const std::size_t at = described.find(option);
        ASSERT_NE(at, std::string::npos) << option;
        EXPECT_TRUE(described[at + option.size()] == ',' || described[at + option.size()] == ' ')
            << option;
    }
}

} // namespace
} // namespace corvane::testing
