#include "core/analysis/Discovery.h"

#include "support/DelegateFixture.h"

#include <filesystem>

namespace corvane::testing {
namespace {

using Discovery = DelegateFixture;

TEST_F(Discovery, KeepsOnlyTheTargetsOwnNamesCaseSensitivelyInWalkOrder) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/com.x.AppHelper.plist");
    home.file("Library/Preferences/com.x.app.plist");
    home.file("Library/Preferences/Old/com.x.App.plist");
    home.file("Library/Preferences/other.plist");
    target("com.x.App");
    delegate().hasPrefFile();
    // A helper application's settings are its own, however alike the names.
    EXPECT_EQ(delegate().shortFilePaths(),
              (PathList{"com.x.App.plist", "Old/com.x.App.plist", "\n"}));
    const std::string prefs = home.library() + "/Preferences/";
    EXPECT_EQ(delegate().fullFilePaths(),
              (PathList{prefs + "com.x.App.plist", prefs + "Old/com.x.App.plist"}));
    EXPECT_TRUE(delegate().hasPrefPlist());
}

TEST_F(Discovery, MatchingFolderListsItselfThenItsContents) {
    home.file("Library/Preferences/com.x.App/a.plist");
    home.file("Library/Preferences/com.x.App/b.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/data.data");
    home.file("Library/Saved Application State/com.x.App.savedState/windows.plist");
    target("com.x.App");
    delegate().hasPrefFile();
    delegate().hasSavedState();
    EXPECT_EQ(delegate().shortFilePaths(),
              (PathList{"com.x.App", "com.x.App/a.plist", "com.x.App/b.plist", "\n"}));
    EXPECT_EQ(delegate().shortStatePaths(),
              (PathList{"com.x.App.savedState", "com.x.App.savedState/data.data",
                        "com.x.App.savedState/windows.plist"}));
    EXPECT_EQ(delegate().fullStatePaths()[1],
              home.library() + "/Saved Application State/com.x.App.savedState/data.data");
    EXPECT_TRUE(delegate().hasAppSaveState());
}

TEST_F(Discovery, StateOnlyAddsNoClosingEntry) {
    home.file("Library/Saved Application State/com.x.App.savedState/w.plist");
    target("com.x.App");
    delegate().hasPrefFile();
    delegate().hasSavedState();
    EXPECT_FALSE(delegate().hasPrefPlist());
    EXPECT_TRUE(delegate().shortFilePaths().empty());
    EXPECT_TRUE(delegate().fullFilePaths().empty());
}

TEST_F(Discovery, MissingFoldersAndEmptyIdentifierFindNothing) {
    target("com.x.App");
    delegate().hasPrefFile();
    delegate().hasSavedState();
    EXPECT_FALSE(delegate().hasPrefPlist());
    EXPECT_FALSE(delegate().hasAppSaveState());

    home.file("Library/Preferences/anything.plist");
    target("");
    delegate().hasPrefFile();
    EXPECT_TRUE(delegate().fullFilePaths().empty());
}

TEST_F(Discovery, AdwareFolderIsNeverListedForOtherTargets) {
    home.folder("Library/Application Support/osxDownloader");
    home.file("Library/Preferences/com.x.App.plist");
    target("com.x.App");
    delegate().hasPrefFile();
    EXPECT_EQ(delegate().shortFilePaths(), (PathList{"com.x.App.plist", "\n"}));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(Discovery, SafariSoftListsAdwareAndLastSessionAndKeepsText) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.folder("Library/Application Support/osxDownloader");
    home.file("Library/Safari/LastSession.plist");
    home.file("Library/Safari/Old/LastSession.plist.bak");
    target("com.apple.Safari", "Safari.app");
    delegate();
    window.infoView.setString("Analysing...");
    alerts.answers = {kAlertSecondButtonReturn};
    delegate().hasPrefFile();

    const std::string safari = home.library() + "/Safari/LastSession.plist";
    EXPECT_EQ(delegate().shortFilePaths(),
              (PathList{"com.apple.Safari.plist", "osxDownloader Adware", "LastSession.plist",
                        "LastSession.plist", "\n"}));
    EXPECT_EQ(
        delegate().fullFilePaths(),
        (PathList{home.library() + "/Preferences/com.apple.Safari.plist",
                  home.path() + "/Library/Application Support/osxDownloader", safari, safari}));
    EXPECT_TRUE(delegate().isSafari());
    EXPECT_FALSE(delegate().safariAggressive());
    EXPECT_EQ(window.infoView.string(), "Analysing...");
    EXPECT_FALSE(processWide().safariFolder);
}

TEST_F(Discovery, SafariPromptHasExactButtonsAndHardWritesNotice) {
    target("com.apple.Safari", "Safari.app");
    alerts.answers = {kAlertFirstButtonReturn};
    delegate().hasPrefFile();
    ASSERT_EQ(alerts.shown.size(), 1u);
    const Alert& prompt = alerts.shown[0];
    EXPECT_EQ(prompt.messageText, "Corvane");
    EXPECT_EQ(prompt.informativeText.rfind("Choose 'Soft' to solve most problems with Safari.", 0),
              0u);
    ASSERT_EQ(prompt.buttons.size(), 3u);
    EXPECT_EQ(prompt.buttons[0].title, "Hard");
    EXPECT_EQ(prompt.buttons[0].keyEquivalent, std::string());
    EXPECT_EQ(prompt.buttons[1].title, "Soft");
    EXPECT_EQ(prompt.buttons[1].keyEquivalent, std::string("\r"));
    // Cancel chooses neither; Escape and closing the question come to the same.
    EXPECT_EQ(prompt.buttons[2].title, "Cancel");
    EXPECT_FALSE(prompt.buttons[2].keyEquivalent);

    EXPECT_TRUE(delegate().safariAggressive());
    EXPECT_EQ(window.infoView.string(),
              "Hard reset of Safari enabled...press \"X\" to Cancel, or \"Fix\" to reset.\n\nIf "
              "you choose, \"Fix\", you will loose all preferences, bookmarks, history and "
              "extensions.");
    EXPECT_EQ(processWide().safariFolder, home.library() + "/Safari");
    EXPECT_FALSE(delegate().hasPrefPlist());
    EXPECT_TRUE(delegate().shortFilePaths().empty());
}

TEST_F(Discovery, LastSessionOnlyInSubfolderPointsAtTheTopLevelFile) {
    home.file("Library/Safari/Backup/LastSession.plist");
    target("com.apple.Safari", "Safari.app");
    alerts.answers = {kAlertSecondButtonReturn};
    delegate().hasPrefFile();
    EXPECT_EQ(delegate().fullFilePaths(), PathList{home.library() + "/Safari/LastSession.plist"});
}

TEST_F(Discovery, RootThatLinksOutOfTheHomeIsNotWalked) {
    TempHome elsewhere; // its own folder; HOME is switched back below
    elsewhere.file("prefs/com.x.App.plist");
    setenv("HOME", home.path().c_str(), 1);
    home.folder("Library");
    std::filesystem::create_directory_symlink(elsewhere.path() + "/prefs",
                                              home.library() + "/Preferences");
    std::filesystem::create_directory_symlink("/", home.library() + "/Saved Application State");
    target("com.x.App");
    delegate().hasPrefFile();
    delegate().hasSavedState();
    EXPECT_TRUE(delegate().fullFilePaths().empty());
    EXPECT_TRUE(delegate().fullStatePaths().empty());
}

TEST_F(Discovery, RootThatLinksWithinTheLibraryIsWalked) {
    home.file("Library/Synced/com.x.App.plist");
    std::filesystem::create_directory_symlink(home.library() + "/Synced",
                                              home.library() + "/Preferences");
    target("com.x.App");
    delegate().hasPrefFile();
    EXPECT_EQ(delegate().shortFilePaths(), (PathList{"com.x.App.plist", "\n"}));
    EXPECT_TRUE(delegate().skippedFolders().empty());
}

} // namespace
} // namespace corvane::testing
