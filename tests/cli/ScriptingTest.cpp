#include "cli/CommandLineFixture.h"
#include "cli/Output.h"
#include "core/fix/ResetRecord.h"
#include "support/StandInApp.h"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

class Scripting : public CommandLine {
protected:
    Scripting() {
        widget = app("Widget.app", "com.example.Widget");
        home.file("Library/Preferences/com.example.Widget.plist", "prefs");
    }
    std::string prefs() const { return home.library() + "/Preferences/com.example.Widget.plist"; }
    std::string widget;
};

TEST_F(Scripting, EachUsageMistakeIsOneSentenceOfItsOwnAndAPointerToTheHelp) {
    const std::vector<std::vector<std::string>> mistakes = {
        {"--frobnicate"},
        {"--list", "--reset", widget},
        {"--json", widget},
        {"--null", "--reset", "--yes", widget},
        {"--list", "--null", "--json", widget},
        {"--yes", "--list", widget},
        {"--safari=hard", "--history"},
        {"--no-trash", "--list", widget},
        {"--no-legend", "--list", widget},
        {"--list", "--safari=gentle", widget},
        {"--list"},
        {"--list", widget, widget},
        {"--list", "not an identifier"},
        {"--list", "--safari=hard", widget}, // --safari with an application other than Safari
        {"--history", "20261208T093000Z-00"},
    };
    std::set<std::string> sentences;
    for (const std::vector<std::string>& arguments : mistakes) {
        SCOPED_TRACE(arguments.front() + " " + arguments.back());
        const Outcome run = corvane(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.empty()) << run.out;
        const std::vector<std::string> said = lines(run.err);
        ASSERT_EQ(said.size(), 2u) << run.err;
        EXPECT_EQ(said[0].rfind("corvane: ", 0), 0u) << said[0];
        EXPECT_EQ(said[1], "Try 'corvane --help' for more information.");
        sentences.insert(said[0]);
    }
    EXPECT_EQ(sentences.size(), mistakes.size());
    EXPECT_TRUE(fs::exists(prefs()));
}

TEST_F(Scripting, ResetAndRestoreShowWhatTheyDoAndAskFirst) {
    const std::string tag = "org.corvane.test.Asked" + std::to_string(getpid());
    const StandInBundle running(apps, "Asked", tag);
    home.file("Library/Preferences/" + tag + ".plist", "asked");
    const std::string asked = home.library() + "/Preferences/" + tag + ".plist";
    StandInProcess instance(running.executable());

    // No, or nothing typed at all, changes nothing.
    for (const std::string answer : {"n", ""}) {
        const Outcome declined = onTerminal({"--reset", running.bundlePath()}, answer);
        EXPECT_EQ(declined.status, 4) << declined.out;
        EXPECT_TRUE(fs::exists(asked));
        EXPECT_FALSE(instance.hasEnded());
        // The plan comes before the question, the running instance named in it.
        const std::size_t listed = declined.out.find(asked);
        const std::size_t question = declined.out.find("[y/N]");
        ASSERT_NE(listed, std::string::npos) << declined.out;
        EXPECT_LT(listed, question);
        EXPECT_NE(declined.out.find("(process " + std::to_string(instance.pid()) + ")"),
                  std::string::npos)
            << declined.out;
    }

    const Outcome reset = onTerminal({"--reset", running.bundlePath()}, "y");
    EXPECT_EQ(reset.status, 0) << reset.out;
    EXPECT_NE(
        reset.out.find("corvane: quitting Asked.app (process " + std::to_string(instance.pid())),
        std::string::npos)
        << reset.out;
    EXPECT_FALSE(fs::exists(asked));

    // A restore asks the same way; without a terminal it needs --yes.
    EXPECT_EQ(corvane({"--restore", tag}).status, 4);
    const Outcome keep = onTerminal({"--restore", tag}, "n");
    EXPECT_EQ(keep.status, 4) << keep.out;
    EXPECT_NE(keep.out.find(asked), std::string::npos) << keep.out;
    EXPECT_FALSE(fs::exists(asked));
    const Outcome restore = onTerminal({"--restore", tag}, "y");
    EXPECT_EQ(restore.status, 0) << restore.out;
    EXPECT_EQ(contentOf(asked), "asked");
}

TEST_F(Scripting, RootRefusesAHomeItDoesNotOwnAndLeavesNothingThere) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    ASSERT_EQ(chown(home.path().c_str(), 65534, 65534), 0);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--reset", "--yes", widget},
          std::vector<std::string>{"--restore", "--yes"}}) {
        SCOPED_TRACE(arguments.front());
        const Outcome run = corvane(arguments);
        EXPECT_EQ(run.status, 4);
        ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find("corvane: HOME (" + home.path() + ") belongs to "),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("sudo -u "), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::exists(prefs()));
    EXPECT_FALSE(fs::exists(home.path() + "/.local"));
    EXPECT_FALSE(fs::exists(home.library() + "/Application Support"));

    // Its owner's own home is fine, root's included.
    ASSERT_EQ(chown(home.path().c_str(), 0, 0), 0);
    EXPECT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
}

TEST_F(Scripting, AFailedWriteOfTheOutputIsSaidAndFailsOnlyAListing) {
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        std::string redirect; // empty: into a pipe whose reader has gone
        int status;
    };
    const Case cases[] = {
        {"reset to a full disk", {"--reset", "--yes", widget}, ">/dev/full", 0},
        {"list to a full disk", {"--list", widget}, ">/dev/full", 2},
        {"list to a closed output", {"--list", widget}, ">&-", 2},
        {"list into a closed pipe", {"--list", widget}, "", 2},
        {"history to a full disk", {"--history"}, ">/dev/full", 2},
        {"history to a closed output", {"--history"}, ">&-", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        home.file("Library/Preferences/com.example.Widget.plist", "prefs");
        Outcome run;
        if (c.redirect.empty()) {
            int ends[2];
            ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
            close(ends[0]); // the reader has gone before anything is written
            const pid_t pid = start(c.arguments, "pipe", ends[1]);
            close(ends[1]);
            run = finish(pid, home.path() + "/pipe.out", home.path() + "/pipe.err");
        } else {
            run = corvane(c.arguments, c.redirect);
        }
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::vector<std::string> said = lines(run.err);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back().rfind("corvane: could not write the output: ", 0), 0u) << run.err;
        if (c.arguments.front() == "--reset") {
            EXPECT_FALSE(fs::exists(prefs())); // the reset went ahead all the same
        }
    }
}

TEST_F(Scripting, NamesWithNewlinesSurviveNulAndTheShellEscapedForm) {
    const std::string state = "Library/Saved Application State/com.example.Widget.savedState";
    const std::string odd = home.path() + "/" + state + "/a\nb\x01 c's.plist";
    const std::string bad = home.path() + "/" + state + "/\xff.plist";
    home.file(state + "/a\nb\x01 c's.plist");
    home.file(state + "/\xff.plist");

    const Outcome nul = corvane({"--list", "-0", widget});
    ASSERT_EQ(nul.status, 0) << nul.err;
    std::set<std::string> paths;
    for (std::size_t start = 0, end; (end = nul.out.find('\0', start)) != std::string::npos;
         start = end + 1) {
        paths.insert(nul.out.substr(start, end - start));
    }
    EXPECT_EQ(paths, (std::set<std::string>{prefs(), home.path() + "/" + state, odd, bad}));

    // A name that needs it reads as ls writes it in the same quoting style, one line each;
    // others, spaces and all, stay as they are.
    const Outcome plain = corvane({"--list", widget});
    ASSERT_EQ(plain.status, 0) << plain.err;
    std::set<std::string> escaped;
    for (const std::string& line : lines(plain.out)) {
        escaped.insert(line);
    }
    std::set<std::string> byLs;
    for (const std::string& path : paths) {
        if (path != odd && path != bad) {
            byLs.insert(path);
            continue;
        }
        const ChildResult ls = runChildProcess(
            "/bin/sh", {"-c", "LC_ALL=C.UTF-8 ls -d --quoting-style=shell-escape \"$0\"", path});
        byLs.insert(ls.output.substr(0, ls.output.size() - 1));
    }
    EXPECT_EQ(escaped, byLs);

    // JSON keeps the exact bytes of a name that is not UTF-8.
    const nlohmann::json document =
        nlohmann::json::parse(corvane({"--list", "--json", widget}).out);
    std::set<std::string> hexes;
    for (const nlohmann::json& entry : document["entries"]) {
        if (entry.contains("path_hex")) {
            hexes.insert(entry["path_hex"].get<std::string>());
        }
    }
    std::string badHex;
    for (const unsigned char c : bad) {
        static const char* digits = "0123456789abcdef";
        badHex += digits[c >> 4];
        badHex += digits[c & 15];
    }
    EXPECT_EQ(hexes, std::set<std::string>{badHex});
}

TEST_F(Scripting, HistoryListsTheResetsAndRestoreTakesBackTheOneNamed) {
    const std::string other = app("Other.app", "com.example.Other");
    home.file("Library/Preferences/com.example.Other.plist", "other");
    const std::string otherPrefs = home.library() + "/Preferences/com.example.Other.plist";
    EXPECT_EQ(corvane({"--history"}).status, 1);

    // By identifier: the installed bundle is found among the applications.
    const Outcome first = corvane({"--reset", "--yes", "--json", "com.example.Widget"});
    ASSERT_EQ(first.status, 0) << first.err;
    const nlohmann::json reset = nlohmann::json::parse(first.out);
    EXPECT_EQ(reset["format"], 1);
    EXPECT_EQ(reset["outcome"], "done");
    ASSERT_TRUE(reset["record"].is_string());
    sleep(1); // a later second, so the records' order is the order of the resets
    ASSERT_EQ(corvane({"--reset", "--yes", other}).status, 0);
    EXPECT_EQ(corvane({"--reset", "--yes", "com.example.Missing"}).status, 2);

    const Outcome history = corvane({"--history"});
    ASSERT_EQ(history.status, 0) << history.err;
    const std::vector<std::string> rows = lines(history.out);
    ASSERT_EQ(rows.size(), 3u) << history.out; // a heading and two records, newest first
    EXPECT_NE(rows[1].find("\tOther.app\tcom.example.Other\t1\t1"), std::string::npos) << rows[1];
    EXPECT_EQ(rows[2].rfind(reset["record"].get<std::string>() + "\t", 0), 0u) << rows[2];
    EXPECT_EQ(lines(corvane({"--history", "com.example.Other"}).out).size(), 2u);
    const std::vector<std::string> bare = lines(corvane({"--history", "--no-legend"}).out);
    EXPECT_EQ(bare, std::vector<std::string>(rows.begin() + 1, rows.end()));

    const nlohmann::json listed = nlohmann::json::parse(corvane({"--history", "--json"}).out);
    EXPECT_EQ(listed["format"], 1);
    ASSERT_EQ(listed["records"].size(), 2u);
    EXPECT_EQ(listed["records"][1]["record"], reset["record"]);
    EXPECT_EQ(listed["records"][1]["in_trash"], 1);

    // The older reset comes back by its name; the newer one stays in the Trash.
    const Outcome restored =
        corvane({"--restore", "--yes", "--json", reset["record"].get<std::string>()});
    ASSERT_EQ(restored.status, 0) << restored.err;
    const nlohmann::json account = nlohmann::json::parse(restored.out);
    EXPECT_EQ(account["outcome"], "done");
    ASSERT_EQ(account["restored"].size(), 1u);
    EXPECT_EQ(account["restored"][0]["path"], prefs());
    EXPECT_TRUE(fs::exists(prefs()));
    EXPECT_FALSE(fs::exists(otherPrefs));

    // A damaged record is listed as damaged, never passed over in silence.
    std::ofstream(ResetRecords::folderIn(home.library()) + "/20991231T235959Z-00") << "{";
    const std::vector<std::string> now = lines(corvane({"--history"}).out);
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(now[1].rfind("20991231T235959Z-00\tdamaged", 0), 0u) << now[1];
}

} // namespace
} // namespace corvane::testing
