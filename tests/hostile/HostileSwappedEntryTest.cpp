#include "hostile/HostileFixture.h"

#include <filesystem>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// --- An entry replaced by a symlink between the analysis and Fix -------------------------------
//
// What was listed is a path, not a promise about what lies there when Fix runs: a link put in
// its place is removed as a link, and a folder above it that now leads elsewhere stops the
// removal and is named in the closing sheet.

class HostileSwappedEntry : public HostileFixture {
protected:
    void analyse() {
        choose(bundleWithIdentifier("Example.app", "com.example.App"));
        ASSERT_TRUE(window.fixButton.enabled) << text();
    }

    // Replaces the entry at `relative` (in the home) with a link to `target`.
    void swap(const std::string& relative, const std::string& target) {
        fs::remove_all(home.path() + "/" + relative);
        makeLink(target, home.path() + "/" + relative);
    }

    bool closedWithSuccess() const {
        return alerts.sheets.size() == 1 &&
               alerts.sheets[0].informativeText.find("successfully restored") != std::string::npos;
    }
    bool closedNaming(const std::string& path) const {
        return alerts.sheets.size() == 1 &&
               alerts.sheets[0].informativeText.find("could not remove") != std::string::npos &&
               alerts.sheets[0].informativeText.find(path) != std::string::npos;
    }
};

TEST_F(HostileSwappedEntry, AFileBecomesALinkToAFileOutside) {
    home.file("Library/Preferences/com.example.App.plist");
    writeFile(outside.path() + "/secret.txt");
    analyse();
    swap("Library/Preferences/com.example.App.plist", outside.path() + "/secret.txt");

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Preferences/com.example.App.plist"));
    EXPECT_TRUE(fs::exists(outside.path() + "/secret.txt"));
    EXPECT_TRUE(closedWithSuccess());
}

TEST_F(HostileSwappedEntry, AListedFolderBecomesALinkToTheHome) {
    home.file("Library/Saved Application State/com.example.App.savedState/windows.plist");
    home.file("windows.plist");
    home.file("Documents/keep.txt");
    analyse();
    ASSERT_EQ(delegate().fullStatePaths().size(), 2u);
    swap("Library/Saved Application State/com.example.App.savedState", home.path());

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Saved Application State/com.example.App.savedState"));
    EXPECT_TRUE(home.exists("windows.plist"));
    EXPECT_TRUE(home.exists("Documents/keep.txt"));
    EXPECT_TRUE(closedWithSuccess());
}

TEST_F(HostileSwappedEntry, AnUnlistedFolderAboveAnEntryNowLeadsOutside) {
    home.file("Library/Preferences/Old/com.example.App.plist");
    writeFile(outside.path() + "/com.example.App.plist");
    analyse();
    ASSERT_EQ(delegate().fullFilePaths(),
              std::vector<std::string>{home.library() + "/Preferences/Old/com.example.App.plist"});
    swap("Library/Preferences/Old", outside.path());

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_EQ(removalRuns(), 0u);
    EXPECT_TRUE(fs::exists(outside.path() + "/com.example.App.plist"));
    EXPECT_TRUE(closedNaming(home.library() + "/Preferences/Old/com.example.App.plist"));
}

TEST_F(HostileSwappedEntry, ThePreferencesFolderBecomesALinkToTheHome) {
    home.file("Library/Preferences/com.example.App.plist");
    home.file("com.example.App.plist");
    analyse();
    swap("Library/Preferences", home.path());

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_EQ(removalRuns(), 0u);
    EXPECT_TRUE(home.exists("com.example.App.plist"));
    EXPECT_TRUE(closedNaming(home.library() + "/Preferences/com.example.App.plist"));
}

TEST_F(HostileSwappedEntry, TheLibraryBecomesALinkOutside) {
    home.file("Library/Preferences/com.example.App.plist");
    writeFile(outside.path() + "/Preferences/com.example.App.plist");
    analyse();
    swap("Library", outside.path());

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_EQ(removalRuns(), 0u);
    EXPECT_TRUE(fs::exists(outside.path() + "/Preferences/com.example.App.plist"));
    EXPECT_TRUE(closedNaming(home.library() + "/Preferences/com.example.App.plist"));
}

} // namespace
} // namespace corvane::testing
