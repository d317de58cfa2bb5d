#include "base/Paths.h"
#include "core/UserFolders.h"
#include "hostile/HostileFixture.h"

#include <algorithm>
#include <filesystem>

namespace corvane::testing {
namespace {

bool anyOutside(const std::vector<std::string>& paths, const std::string& library) {
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& path) {
        return !isInsideFolder(path, library) || path == library;
    });
}

// --- A searched folder that is a symlink leading out ------------------------------------------
//
// Walking "/" would take for ever and list the whole system; walking the home would list and
// remove files far from any settings.

struct LinkedRoot {
    const char* label;
    const char* folder; // inside the Library
    bool toHome;        // else to "/"
};

void PrintTo(const LinkedRoot& root, std::ostream* out) {
    *out << root.label;
}

class LinkedSearchFolder : public HostileFixture,
                           public ::testing::WithParamInterface<LinkedRoot> {};

TEST_P(LinkedSearchFolder, IsNotWalkedAndNothingOutsideIsRemoved) {
    const LinkedRoot root = GetParam();
    const std::string library = home.library();
    makeLink(root.toHome ? home.path() : "/", library + "/" + root.folder);
    // The other folder holds a real entry, so there is something to fix.
    const bool linkedPreferences = std::string(root.folder) == "Preferences";
    home.file(linkedPreferences ? "Library/Saved Application State/com.example.App.savedState/w"
                                : "Library/Preferences/com.example.App.plist");
    home.file("com.example.App.plist");
    home.file("Documents/com.example.App/notes.txt");

    choose(bundleWithIdentifier("Example.app", "com.example.App"));
    ASSERT_TRUE(window.fixButton.enabled) << text();
    EXPECT_FALSE(anyOutside(listed(), library));
    EXPECT_EQ(text().find("notes.txt"), std::string::npos);
    EXPECT_EQ(text().find("Documents"), std::string::npos);

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_TRUE(home.exists("com.example.App.plist"));
    EXPECT_TRUE(home.exists("Documents/com.example.App/notes.txt"));
    EXPECT_TRUE(home.exists(std::string("Library/") + root.folder));
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_NE(alerts.sheets[0].informativeText.find("successfully restored"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, LinkedSearchFolder,
    ::testing::Values(LinkedRoot{"PreferencesToRoot", "Preferences", false},
                      LinkedRoot{"PreferencesToHome", "Preferences", true},
                      LinkedRoot{"SavedStateToRoot", "Saved Application State", false},
                      LinkedRoot{"SavedStateToHome", "Saved Application State", true}),
    [](const auto& row) { return std::string(row.param.label); });

// --- Safari's folder with a symlink loop and a link to the home --------------------------------

class HostileSafari : public HostileFixture {
protected:
    HostileSafari() {
        const std::string safari = home.library() + "/Safari";
        home.file("Library/Preferences/com.apple.Safari.plist");
        home.file("Library/Safari/LastSession.plist");
        home.file("Library/Safari/Bookmarks.plist");
        makeLink(".", safari + "/Self");
        makeLink(safari + "/LoopB", safari + "/LoopA");
        makeLink(safari + "/LoopA", safari + "/LoopB");
        makeLink(home.path(), safari + "/Home");
        makeLink(outside.path(), safari + "/Outside");
        home.file("Documents/LastSession.plist");
        home.file("Documents/keep.txt");
        writeFile(outside.path() + "/LastSession.plist");
        home.file("Library/Caches/com.apple.Safari/Cache.db");
        makeLink(home.path(), home.library() + "/Caches/com.apple.Safari.plist");
        makeLink(".", home.library() + "/Caches/Loop");
    }

    std::string safariApp() { return bundleWithIdentifier("Safari.app", "com.apple.Safari"); }
};

TEST_F(HostileSafari, SoftResetListsOnlyTheSessionAndRemovesOnlyListedEntries) {
    alerts.answers.push_back(kAlertSecondButtonReturn);
    choose(safariApp());
    ASSERT_TRUE(window.fixButton.enabled) << text();
    const std::vector<std::string> expected = {home.library() +
                                                   "/Preferences/com.apple.Safari.plist",
                                               home.library() + "/Safari/LastSession.plist"};
    EXPECT_EQ(delegate().fullFilePaths(), expected);

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Safari/LastSession.plist"));
    EXPECT_TRUE(home.exists("Library/Safari/Bookmarks.plist"));
    EXPECT_TRUE(home.exists("Documents/LastSession.plist"));
    EXPECT_TRUE(home.exists("Library/Caches/com.apple.Safari/Cache.db"));
}

TEST_F(HostileSafari, HardResetRemovesTheLinksNotWhatTheyLeadTo) {
    alerts.answers.push_back(kAlertFirstButtonReturn);
    choose(safariApp());
    ASSERT_TRUE(delegate().safariAggressive());
    ASSERT_TRUE(window.fixButton.enabled);

    const std::string caches = home.library() + "/Caches";
    EXPECT_TRUE(fixAndCheck({home.library() + "/Safari", caches + "/com.apple.Safari",
                             caches + "/com.apple.Safari.plist"})
                    .empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Safari"));
    EXPECT_FALSE(home.exists("Library/Caches/com.apple.Safari"));
    EXPECT_FALSE(home.exists("Library/Caches/com.apple.Safari.plist"));
    EXPECT_TRUE(home.exists("Library/Caches/Loop"));
    EXPECT_TRUE(home.exists("Documents/keep.txt"));
    EXPECT_TRUE(home.exists("Documents/LastSession.plist"));
    EXPECT_TRUE(home.exists("Library/Preferences"));
}

TEST_F(HostileSafari, AFolderThatIsALinkToTheHomeLosesOnlyTheLink) {
    std::filesystem::remove_all(home.library() + "/Safari");
    makeLink(home.path(), home.library() + "/Safari");
    home.file("LastSession.plist");
    alerts.answers.push_back(kAlertFirstButtonReturn);
    choose(safariApp());
    // The home's own LastSession.plist is not Safari's.
    EXPECT_EQ(delegate().fullFilePaths(),
              std::vector<std::string>{home.library() + "/Preferences/com.apple.Safari.plist"});

    EXPECT_TRUE(
        fixAndCheck({home.library() + "/Safari", home.library() + "/Caches/com.apple.Safari",
                     home.library() + "/Caches/com.apple.Safari.plist"})
            .empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Safari"));
    EXPECT_TRUE(home.exists("LastSession.plist"));
    EXPECT_TRUE(home.exists("Documents/keep.txt"));
}

TEST_F(HostileSafari, HardResetDoesNotWalkCachesOrCookiesThatLeadOut) {
    std::filesystem::remove_all(home.library() + "/Caches");
    makeLink("/", home.library() + "/Caches");
    makeLink(home.path(), home.library() + "/Cookies");
    home.file("com.apple.Safari.binarycookies");
    alerts.answers.push_back(kAlertFirstButtonReturn);
    choose(safariApp());
    ASSERT_TRUE(delegate().safariAggressive());

    EXPECT_TRUE(fixAndCheck({home.library() + "/Safari"}).empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Safari"));
    EXPECT_TRUE(home.exists("com.apple.Safari.binarycookies"));
    EXPECT_TRUE(home.exists("Library/Caches"));
    EXPECT_TRUE(home.exists("Library/Cookies"));
}

TEST_F(HostileSafari, AnAdwareFolderThatIsALinkLosesOnlyTheLink) {
    makeLink(home.path(), home.library() + "/Application Support/osxDownloader");
    alerts.answers.push_back(kAlertSecondButtonReturn);
    choose(safariApp());
    const std::string adware = home.library() + "/Application Support/osxDownloader";
    ASSERT_EQ(delegate().fullFilePaths().size(), 3u);
    EXPECT_EQ(delegate().fullFilePaths()[1], adware);

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_FALSE(home.exists("Library/Application Support/osxDownloader"));
    EXPECT_TRUE(home.exists("Documents/keep.txt"));
}

TEST_F(HostileSafari, AnAdwareFolderBeneathALinkLeadingOutIsLeftAndNamed) {
    writeFile(outside.path() + "/osxDownloader/payload");
    makeLink(outside.path(), home.library() + "/Application Support");
    alerts.answers.push_back(kAlertSecondButtonReturn);
    choose(safariApp());
    const std::string adware = home.library() + "/Application Support/osxDownloader";
    ASSERT_EQ(delegate().fullFilePaths().size(), 3u);

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(launcher.refused.empty());
    EXPECT_TRUE(std::filesystem::exists(outside.path() + "/osxDownloader/payload"));
    EXPECT_FALSE(home.exists("Library/Safari/LastSession.plist"));
    ASSERT_EQ(alerts.sheets.size(), 1u);
    EXPECT_NE(alerts.sheets[0].informativeText.find(adware), std::string::npos);
}

} // namespace
} // namespace corvane::testing
