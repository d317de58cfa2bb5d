#include "hostile/HostileFixture.h"

#include <filesystem>

namespace corvane::testing {
namespace {

// --- Entry names a tool or a text view could misread -------------------------------------------
//
// Paths go to the removal tool as one argument each, never through a shell, so a name with a
// space, a line feed or a quote is one entry, and a name that is not UTF-8 is still removed.

using HostileNames = HostileFixture;

// Each is the target's own (a file beside its preferences, "ID.plist.*").
const std::vector<std::string> kNames = {
    "com.example.App.plist. copy",
    "com.example.App.plist.\nevil.plist",
    "com.example.App.plist. \"quoted\" 'single'",
    "com.example.App.plist. $(touch pwned) `x`;",
    "com.example.App.plist.-\xC3\xBC\xE2\x9C\x93\xF0\x9F\x98\x80",
    "com.example.App.plist.-\xFF\xFE\x80",
    "com.example.App.plist. -rf ",
};

TEST_F(HostileNames, AreListedAsTheyAreAndRemovedOneByOne) {
    for (const std::string& name : kNames) {
        home.file("Library/Preferences/" + name);
    }
    home.file("Library/Saved Application State/com.example.App.savedState/window \xFF\n1.data");
    // What a name split at its line feed or space would point at.
    home.file("Library/Preferences/evil.plist");
    home.file("Library/Preferences/copy");
    home.file("Library/Preferences/com.example.App");
    home.file("Library/Preferences/-rf");

    choose(bundleWithIdentifier("Example.app", "com.example.App"));
    ASSERT_TRUE(window.fixButton.enabled) << text();
    EXPECT_EQ(delegate().fullFilePaths().size(), kNames.size() + 1); // the bare name matches too
    EXPECT_EQ(delegate().fullStatePaths().size(), 2u);
    for (const std::string& name : kNames) {
        EXPECT_NE(text().find(name), std::string::npos) << name;
    }

    const std::string library = home.library();
    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    for (const std::string& name : kNames) {
        EXPECT_FALSE(home.exists("Library/Preferences/" + name)) << name;
    }
    EXPECT_FALSE(home.exists("Library/Saved Application State/com.example.App.savedState"));
    EXPECT_TRUE(home.exists("Library/Preferences/evil.plist"));
    EXPECT_TRUE(home.exists("Library/Preferences/copy"));
    EXPECT_TRUE(home.exists("Library/Preferences/-rf"));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_NE(alerts.sheets[0].informativeText.find("successfully restored"), std::string::npos);
    // Each entry went to the tool as one whole argument.
    for (const ToolRun& run : launcher.runs) {
        if (run.front() == "/bin/rm") {
            ASSERT_EQ(run.size(), 3u);
            EXPECT_EQ(run[1], "-rf");
            EXPECT_EQ(run[2].rfind(library + "/", 0), 0u) << run[2];
        }
    }
}

} // namespace
} // namespace corvane::testing
