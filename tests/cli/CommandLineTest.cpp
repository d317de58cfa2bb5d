#include "cli/CommandLineFixture.h"

#include <nlohmann/json.hpp>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

void givePreferences(const TempHome& home) {
    home.file("Library/Preferences/com.example.Widget.plist", "prefs");
    home.file("Library/Preferences/com.example.Widget.beta.plist", "beta");
    home.file("Library/Preferences/ByHost/com.example.Widget.0A1B2C3D.plist", "host");
    home.file("Library/Saved Application State/com.example.Widget.savedState/w.plist", "w");
    home.file("Library/Containers/com.example.Widget/Data/Library/Preferences/x.plist", "boxed");
}

TEST_F(CommandLine, ListPrintsWhatTheWindowListsAndJsonSaysTheSame) {
    givePreferences(home);
    const std::string widget = app("Widget.app", "com.example.Widget");

    const Outcome listed = corvane({"--list", widget});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(lines(listed.out), windowLists(widget));
    EXPECT_EQ(lines(listed.out).size(), 5u);

    const Outcome json = corvane({"--list", "--json", widget});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["format"], 1);
    EXPECT_EQ(document["identifier"], "com.example.Widget");
    EXPECT_EQ(document["application"], "Widget.app");
    EXPECT_EQ(document["bundle"]["path"], widget);
    std::vector<std::string> paths;
    for (const nlohmann::json& entry : document["entries"]) {
        paths.push_back(entry["path"]);
    }
    EXPECT_EQ(paths, lines(listed.out));
    EXPECT_TRUE(document["skipped"].empty());

    // An identifier names the same entries; listing needs no bundle.
    EXPECT_EQ(corvane({"--list", "com.example.Widget"}).out, listed.out);
}

TEST_F(CommandLine, ListExitsByWhatItFoundAndRefusesBadInput) {
    givePreferences(home);
    home.file("notes.txt");
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {"found", {"--list", app("Widget.app", "com.example.Widget")}, 0},
        {"nothing found", {"--list", app("Quiet.app", "com.example.Quiet")}, 1},
        {"no such bundle", {"--list", apps + "/Missing.app"}, 2},
        {"not an application", {"--list", home.path() + "/notes.txt"}, 2},
        {"refused identifier", {"--list", app("Global.app", "NSGlobalDomain")}, 2},
        {"no identifier", {"--list", makeBundle(apps, "Bare.app", xmlInfoPlist({}))}, 2},
        {"unknown option", {"--list", "--frobnicate", apps + "/Widget.app"}, 2},
        {"json alone", {"--json", apps + "/Widget.app"}, 2},
        {"two actions", {"--list", "--restore", apps + "/Widget.app"}, 2},
        {"list without bundle", {"--list"}, 2},
        {"window for an identifier nothing has", {"com.example.Nope"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome run = corvane(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 2) {
            EXPECT_TRUE(run.out.empty()) << run.out;
            EXPECT_FALSE(run.err.empty());
        }
    }

    // A home that cannot be used is bad input too, said in one line.
    setenv("HOME", "relative/home", 1);
    const Outcome unusable = corvane({"--list", apps + "/Widget.app"});
    setenv("HOME", home.path().c_str(), 1);
    EXPECT_EQ(unusable.status, 2);
    EXPECT_EQ(lines(unusable.err).size(), 1u) << unusable.err;
}

TEST_F(CommandLine, WithoutADisplayTheWindowSaysWhatAnInstalledProgramCanDo) {
    const Outcome run = corvane({});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("corvane: ", 0), 0u) << run.err;
    // Nothing that only means something in the source tree.
    EXPECT_EQ(run.err.find("make"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--list"), std::string::npos) << run.err;
}

TEST_F(CommandLine, ResetNeedsConsentThenRestorePutsItBack) {
    givePreferences(home);
    const std::string widget = app("Widget.app", "com.example.Widget");
    const std::string prefs = home.library() + "/Preferences/com.example.Widget.plist";

    // No terminal to ask on and no --yes: nothing happens.
    const Outcome refused = corvane({"--reset", widget});
    EXPECT_EQ(refused.status, 4);
    EXPECT_TRUE(fs::exists(prefs));

    const Outcome reset = corvane({"--reset", "--yes", widget});
    EXPECT_EQ(reset.status, 0) << reset.err;
    EXPECT_NE(reset.out.find("Widget.app"), std::string::npos) << reset.out;
    EXPECT_FALSE(fs::exists(prefs));
    EXPECT_TRUE(fs::exists(home.library() + "/Preferences/com.example.Widget.beta.plist"));
    EXPECT_FALSE(fs::exists(home.library() +
                            "/Containers/com.example.Widget/Data/Library/Preferences/x.plist"));

    const Outcome otherRestore = corvane({"--restore", "--yes", "com.example.Other"});
    EXPECT_EQ(otherRestore.status, 1);
    EXPECT_FALSE(fs::exists(prefs));

    // The bundle stands for its identifier.
    const Outcome restore = corvane({"--restore", "--yes", widget});
    EXPECT_EQ(restore.status, 0) << restore.err;
    std::ifstream back(prefs);
    std::string content;
    back >> content;
    EXPECT_EQ(content, "prefs");
    EXPECT_EQ(corvane({"--restore", "--yes"}).status, 1); // nothing left to put back
}

TEST_F(CommandLine, SafariNeedsItsModeToBeReset) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    const std::string safari = app("Safari.app", "com.apple.Safari");
    const Outcome run = corvane({"--reset", "--yes", safari});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(fs::exists(home.library() + "/Preferences/com.apple.Safari.plist"));
    EXPECT_EQ(corvane({"--reset", "--yes", "--safari=gentle", safari}).status, 2);
    EXPECT_EQ(corvane({"--reset", "--yes", "--safari=soft", safari}).status, 0);
    EXPECT_FALSE(fs::exists(home.library() + "/Preferences/com.apple.Safari.plist"));
}

} // namespace
} // namespace corvane::testing
