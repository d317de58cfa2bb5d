#include "base/Text.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/analysis/Discovery.h"
#include "host/posix/PlistBundleReader.h"
#include "support/DelegateFixture.h"
#include "support/PlistFiles.h"

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace corvane::testing {
namespace {

constexpr const char* kWaiting = "Waiting for an app to fix...";
// The name field's refusal of an item that is no application, which names the item.
bool isRejection(const std::string& name) {
    const std::string tail = " doesn't appear to be an application";
    return name.rfind("Error: ", 0) == 0 && name.size() > 7 + tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}
constexpr const char* kRejectedInfo = "Please click the (X) button to choose again";

class Chooser : public DelegateFixture {
protected:
    // The open panel will answer with `path`, a bundle whose Info.plist gives `identifier`.
    std::string pickBundle(const std::string& path, std::optional<std::string> identifier) {
        bundles.bundles[path] = BundleInfo{std::move(identifier), std::nullopt, std::nullopt};
        openPanel.picks.push_back(path);
        return path;
    }

    std::string text() const { return window.infoView.string(); }
    std::int64_t textLength() const { return utf16Length(text()); }
    std::int64_t at(const std::string& needle) const {
        const auto found = utf16Find(text(), needle);
        EXPECT_TRUE(found) << needle;
        return found.value_or(-1);
    }
    bool coloured(std::int64_t from, std::int64_t to, const Color& colour) const {
        return window.infoView.rangeHasColour(from, to, colour);
    }
    void expectAcceptedControls(const std::string& name, bool fixEnabled) {
        EXPECT_EQ(window.nameField.value, name);
        EXPECT_EQ(window.fixButton.enabled, fixEnabled);
        EXPECT_FALSE(window.iconView.hidden);
        EXPECT_TRUE(window.chooseButton.hidden);
        EXPECT_EQ(window.chooseButton.image, Image::named("Search-Find-256-2"));
        EXPECT_TRUE(delegate().isApp());
    }
};

// --- The five outcomes -------------------------------------------------------------------------

TEST_F(Chooser, CancelledPanelClearsFlagsAndLeavesTheTargetAlone) {
    AppDelegate& app = delegate();
    app.setSafariAggressive(true);
    app.setIsSafari(true);
    app.setIsSystemApp(true);
    app.setIsApp(true);
    app.setPath("/Applications/Old.app");
    target("com.x.Old", "Old.app");
    window.nameField.value = "Old.app";
    window.fixButton.enabled = true;
    window.iconView.hidden = false;
    window.chooseButton.hidden = true;
    window.chooseButton.image = {};

    app.chooseApp();

    ASSERT_EQ(openPanel.shown.size(), 1u);
    EXPECT_EQ(openPanel.shown[0].message, "Select the application with the problem.");
    EXPECT_FALSE(openPanel.shown[0].canChooseDirectories);
    EXPECT_TRUE(openPanel.shown[0].canChooseFiles);
    EXPECT_FALSE(app.safariAggressive() || app.isSafari() || app.isSystemApp());
    EXPECT_EQ(text(), kWaiting);
    EXPECT_TRUE(coloured(0, textLength(), Color::infoBlue()));
    EXPECT_TRUE(window.iconView.hidden);
    EXPECT_FALSE(window.chooseButton.hidden);
    EXPECT_EQ(window.chooseButton.image, Image::named("Search-Find-256-2"));
    // What the panel does not decide stays as it was.
    EXPECT_EQ(window.nameField.value, "Old.app");
    EXPECT_TRUE(window.fixButton.enabled);
    EXPECT_TRUE(app.isApp());
    EXPECT_EQ(app.path(), "/Applications/Old.app");
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.x.Old");
    EXPECT_EQ(processWide().targetApplicationName, "Old.app");
}

TEST_F(Chooser, PlainDocumentIsRejectedWithItsIconAndClearsTheOldTarget) {
    target("com.x.Old", "Old.app");
    window.fixButton.enabled = true;
    openPanel.picks.push_back("/home/u/Documents/Notes.txt");
    delegate().chooseApp();

    EXPECT_TRUE(isRejection(window.nameField.value));
    EXPECT_EQ(text(), kRejectedInfo);
    EXPECT_TRUE(coloured(0, textLength(), Color::infoBlue()));
    EXPECT_EQ(window.iconView.image, Image::iconForFile("/home/u/Documents/Notes.txt"));
    EXPECT_FALSE(window.iconView.hidden);
    EXPECT_TRUE(window.chooseButton.hidden);
    EXPECT_FALSE(window.fixButton.enabled);
    EXPECT_FALSE(delegate().isApp());
    EXPECT_EQ(delegate().path(), "/home/u/Documents/Notes.txt");
    EXPECT_EQ(processWide().targetApplicationName, "Notes.txt");
    EXPECT_FALSE(processWide().targetBundleIdentifier);
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(Chooser, IdentifiersThatAreNoBundleIdentifierAreRejected) {
    const std::vector<std::optional<std::string>> identifiers = {std::nullopt,
                                                                 "",
                                                                 "-g",
                                                                 "-globalDomain",
                                                                 "NSGlobalDomain",
                                                                 "nsglobaldomain",
                                                                 "Apple Global Domain",
                                                                 "com.x/../../y",
                                                                 ".hidden",
                                                                 "com.x.App\n",
                                                                 std::string(256, 'a'),
                                                                 "com.x.Caf\u00e9",
                                                                 // Would pass for another's files.
                                                                 "com.x.Widget.plist",
                                                                 "com.x.Widget.savedState",
                                                                 "com.x.Widget.SAVEDSTATE"};
    for (const auto& identifier : identifiers) {
        pickBundle("/Applications/Odd.app", identifier);
        window.fixButton.enabled = true;
        delegate().chooseApp();
        EXPECT_TRUE(isRejection(window.nameField.value)) << identifier.value_or("(none)");
        EXPECT_EQ(text(), kRejectedInfo);
        EXPECT_FALSE(window.fixButton.enabled);
        EXPECT_FALSE(processWide().targetBundleIdentifier);
    }
    EXPECT_TRUE(isAcceptableBundleIdentifier(std::string(127, 'a') + "." + std::string(127, 'a')));
    EXPECT_TRUE(isAcceptableBundleIdentifier("com.x-y.My_App2"));
}

TEST_F(Chooser, NothingFoundDisablesFixAndShowsTheMessageUncoloured) {
    pickBundle("/Applications/Empty.app", "com.x.Empty");
    delegate().chooseApp();

    expectAcceptedControls("Empty.app", false);
    EXPECT_EQ(text(),
              "This version of Corvane can't find anything to fix for Empty.app at the moment.");
    EXPECT_TRUE(coloured(0, textLength(), Color::infoBlue()));
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.x.Empty");
    const auto& history = window.infoView.history;
    ASSERT_GE(history.size(), 3u);
    EXPECT_EQ(history[history.size() - 3], kWaiting);
    EXPECT_EQ(history[history.size() - 2], "Analysing...");
}

TEST_F(Chooser, ReadyGreysFromTheFileListUpToClick) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/Old/com.x.App.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/window.plist");
    pickBundle("/Applications/App.app", "com.x.App");
    delegate().chooseApp();

    expectAcceptedControls("App.app", true);
    const std::int64_t start = at("com.x.App.plist\nOld/com.x.App.plist\n\n");
    const std::int64_t end = at("Click");
    EXPECT_EQ(start, at("files:\n\n") + 8);
    EXPECT_TRUE(coloured(0, start, Color::infoBlue()));
    EXPECT_TRUE(coloured(start, end, Color::standardGray()));
    EXPECT_TRUE(coloured(end, textLength(), Color::infoBlue()));
    EXPECT_EQ(delegate().fullFilePaths().size(), 2u);
    EXPECT_EQ(delegate().fullStatePaths().size(), 2u);
}

TEST_F(Chooser, GreyStretchCountsUtf16UnitsOfNonAsciiEntries) {
    home.file("Library/Preferences/com.x.App/Caf\u00e9 \U0001F600.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/\u26A0\uFE0F.plist");
    pickBundle("/Applications/App.app", "com.x.App");
    delegate().chooseApp();

    const std::int64_t start = at("com.x.App\n");
    const std::int64_t end = at("Click");
    EXPECT_TRUE(coloured(start - 1, start, Color::infoBlue()));
    EXPECT_TRUE(coloured(start, end, Color::standardGray()));
    EXPECT_TRUE(coloured(end, end + 1, Color::infoBlue()));
}

TEST_F(Chooser, OnlySavedStateGreysFromTheTilde) {
    home.file("Library/Saved Application State/com.x.App.savedState/window.plist");
    pickBundle("/Applications/App.app", "com.x.App");
    delegate().chooseApp();

    EXPECT_EQ(processWide().reportFileList, "~\n");
    const std::int64_t start = at("~\n");
    EXPECT_TRUE(coloured(0, start, Color::infoBlue()));
    EXPECT_TRUE(coloured(start, at("Click"), Color::standardGray()));
    EXPECT_TRUE(window.fixButton.enabled);
}

TEST_F(Chooser, AnAppNamedCantWithFilesFoundIsReadyToFix) {
    home.file("Library/Preferences/com.x.Stop.plist");
    pickBundle("/Applications/Can't Stop.app", "com.x.Stop");
    delegate().chooseApp();

    expectAcceptedControls("Can't Stop.app", true);
    EXPECT_NE(text().find("Click the \"Fix\" button to restore Can't Stop.app"), std::string::npos);
    EXPECT_TRUE(coloured(at("com.x.Stop.plist"), at("Click"), Color::standardGray()));
}

TEST_F(Chooser, ClickInsideAListedEntryDoesNotCutTheGreyShort) {
    home.file("Library/Preferences/com.x.Clicker.plist");
    home.file("Library/Saved Application State/com.x.Clicker.savedState/Click.plist");
    pickBundle("/Applications/Clicker.app", "com.x.Clicker");
    delegate().chooseApp();

    const std::int64_t start = at("com.x.Clicker.plist");
    const std::int64_t end = at("\n\nClick the \"Fix\"") + 2;
    EXPECT_TRUE(coloured(start, end, Color::standardGray()));
    EXPECT_TRUE(coloured(end, textLength(), Color::infoBlue()));
}

TEST_F(Chooser, SafariSoftGreyEndsAtTheCapitalClick) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    alerts.answers = {kAlertSecondButtonReturn};
    pickBundle("/Applications/Safari.app", "com.apple.Safari");
    delegate().chooseApp();

    expectAcceptedControls("Safari.app", true);
    EXPECT_EQ(text().rfind("Safari Soft Reset - click \"Fix\" to complete!\n\n", 0), 0u);
    const std::int64_t start = at("com.apple.Safari.plist");
    const std::int64_t end = at("Click");
    EXPECT_GT(end, start);
    EXPECT_TRUE(coloured(0, start, Color::infoBlue()));
    EXPECT_TRUE(coloured(start, end, Color::standardGray()));
    EXPECT_TRUE(coloured(end, textLength(), Color::infoBlue()));
    EXPECT_FALSE(delegate().safariAggressive());
}

TEST_F(Chooser, SafariHardShowsTheWholeNoticeRedEvenWithNothingFound) {
    for (const bool withFiles : {true, false}) {
        if (withFiles) {
            home.file("Library/Preferences/com.apple.Safari.plist");
        } else {
            std::filesystem::remove_all(home.library());
        }
        alerts.answers = {kAlertFirstButtonReturn};
        pickBundle("/Applications/Safari.app", "com.apple.Safari");
        delegate().chooseApp();

        expectAcceptedControls("Safari.app", true);
        EXPECT_EQ(text().rfind(kHardResetNotice, 0), 0u);
        EXPECT_TRUE(coloured(0, utf16Length(kHardResetNotice), Color::standardRed())) << withFiles;
        EXPECT_TRUE(delegate().safariAggressive());
    }
}

// --- Where the identifier comes from -----------------------------------------------------------

TEST_F(Chooser, TheBundlePickedDecidesNotAnInstalledNamesake) {
    workspace.applications["Editor.app"] = "/Applications/Editor.app";
    bundles.bundles["/Applications/Editor.app"] = {"com.installed.Editor", {}, {}};
    pickBundle("/home/u/Downloads/Editor.app", "com.copy.Editor");
    delegate().chooseApp();
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.copy.Editor");
    EXPECT_EQ(window.iconView.image, Image::iconForFile("/home/u/Downloads/Editor.app"));

    // A bundle with an unusable Info.plist is rejected, not replaced by its namesake.
    pickBundle("/home/u/Downloads/Editor.app", std::nullopt);
    delegate().chooseApp();
    EXPECT_FALSE(processWide().targetBundleIdentifier);
    EXPECT_TRUE(isRejection(window.nameField.value));
}

TEST_F(Chooser, AnItemThatIsNoBundleFallsBackToTheLookupByName) {
    workspace.applications["Tool.app"] = "/Applications/Tool.app";
    bundles.bundles["/Applications/Tool.app"] = {"com.x.Tool", {}, {}};
    openPanel.picks.push_back("/home/u/Tool.app");
    delegate().chooseApp();
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.x.Tool");
    EXPECT_EQ(delegate().path(), "/home/u/Tool.app");

    EXPECT_EQ(delegate().bundleIdentifierForApplicationName("Tool"), "com.x.Tool");
    EXPECT_FALSE(delegate().bundleIdentifierForApplicationName("Missing.app"));
    bundles.bundles["/Applications/Tool.app"] = {"NSGlobalDomain", {}, {}};
    EXPECT_FALSE(delegate().bundleIdentifierForApplicationName("Tool.app"));
}

// A failure to read names itself; only the item's own fault gives the plain rejection. The
// lookup by name is no way around a reader that failed on the pick itself.
TEST_F(Chooser, TheNameFieldNamesAFailureToReadTheBundle) {
    workspace.applications["Tool.app"] = "/Applications/Tool.app";
    bundles.bundles["/Applications/Tool.app"] = {"com.x.Tool", {}, {}};
    const std::vector<std::pair<BundleError, std::string>> rows = {
        {{BundleFailure::ReaderMissing, "the bundle reader is missing"},
         "Error: the bundle reader is missing"},
        {{BundleFailure::ReaderTimedOut, "reading the bundle took too long"},
         "Error: reading the bundle took too long"},
        {{BundleFailure::ReaderCrashed, "the bundle reader crashed"},
         "Error: the bundle reader crashed"},
        {{BundleFailure::ReaderFailed, "the bundle reader failed with status 1"},
         "Error: the bundle reader failed with status 1"},
        {{BundleFailure::UnreadableInfoPlist, "the Info.plist is malformed"},
         "Error: Tool.app doesn't appear to be an application"},
    };
    for (const auto& [error, shown] : rows) {
        bundles.failures["/home/u/Tool.app"] = error;
        openPanel.picks.push_back("/home/u/Tool.app");
        window.fixButton.enabled = true;
        delegate().chooseApp();
        EXPECT_EQ(window.nameField.value, shown) << error.reason;
        EXPECT_EQ(text(), kRejectedInfo) << error.reason;
        EXPECT_FALSE(window.fixButton.enabled) << error.reason;
        EXPECT_FALSE(delegate().isApp()) << error.reason;
        EXPECT_FALSE(processWide().targetBundleIdentifier) << error.reason;
    }

    // An item that is no bundle, whose installed namesake the reader fails on.
    bundles.failures.clear();
    bundles.failures["/Applications/Tool.app"] = {BundleFailure::ReaderCrashed,
                                                  "the bundle reader crashed"};
    openPanel.picks.push_back("/home/u/Tool.app");
    delegate().chooseApp();
    EXPECT_EQ(window.nameField.value, "Error: the bundle reader crashed");
    EXPECT_FALSE(processWide().targetBundleIdentifier);
}

// The chooser over the real bundle reader and files on disk.
class ChooserOnDisk : public Chooser {
protected:
    ChooserOnDisk() { services.bundles = &realBundles; }
    PlistBundleReader realBundles;
};

TEST_F(ChooserOnDisk, ReadsXmlAndBinaryBundlesAndRejectsHostileOnes) {
    home.file("Library/Preferences/com.example.Bin.plist");
    const std::string apps = home.path() + "/Downloads";
    const std::string binary =
        makeBundle(apps, "Bin.app", binaryInfoPlist({{"CFBundleIdentifier", "com.example.Bin"}}));
    openPanel.picks.push_back(binary);
    delegate().chooseApp();
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.example.Bin");
    EXPECT_TRUE(window.fixButton.enabled);

    std::string oversized = xmlInfoPlist({{"CFBundleIdentifier", "com.example.Big"}});
    oversized.insert(oversized.find("<dict>"), std::string(2 * 1024 * 1024, ' '));
    std::vector<std::string> rejected = {
        makeBundle(apps, "Garbage.app", "\x01\x02 not a plist"),
        makeBundle(apps, "Cut.app",
                   binaryInfoPlist({{"CFBundleIdentifier", "com.x.A"}}).substr(0, 30)),
        makeBundle(apps, "Big.app", oversized),
        makeBundle(apps, "Global.app", xmlInfoPlist({{"CFBundleIdentifier", "NSGlobalDomain"}})),
        makeBundle(apps, "Dash.app", xmlInfoPlist({{"CFBundleIdentifier", "-g"}})),
    };
    home.folder("Downloads/Fifo.app/Contents");
    ASSERT_EQ(mkfifo((apps + "/Fifo.app/Contents/Info.plist").c_str(), 0600), 0);
    rejected.push_back(apps + "/Fifo.app");
    home.file("Downloads/Readme.txt");
    rejected.push_back(apps + "/Readme.txt");
    home.folder("Downloads/Folder.app");
    rejected.push_back(apps + "/Folder.app");

    for (const std::string& pick : rejected) {
        openPanel.picks.push_back(pick);
        delegate().chooseApp();
        EXPECT_TRUE(isRejection(window.nameField.value)) << pick;
        EXPECT_EQ(text(), kRejectedInfo) << pick;
        EXPECT_FALSE(window.fixButton.enabled) << pick;
        EXPECT_FALSE(processWide().targetBundleIdentifier) << pick;
    }
}

TEST_F(ChooserOnDisk, AMissingReaderIsNamedNotTheItem) {
    const std::string apps = home.path() + "/Downloads";
    const std::string bundle =
        makeBundle(apps, "Good.app", xmlInfoPlist({{"CFBundleIdentifier", "com.example.Good"}}));
    PlistBundleReader missing(home.path() + "/no-reader");
    services.bundles = &missing;
    openPanel.picks.push_back(bundle);
    delegate().chooseApp();
    EXPECT_EQ(window.nameField.value, "Error: the bundle reader is missing");
    EXPECT_EQ(text(), kRejectedInfo);
    EXPECT_FALSE(processWide().targetBundleIdentifier);
}

// libplist recurses once per level: the reader dies of this file, and the window says so.
TEST_F(ChooserOnDisk, AReaderKilledByAHostileFileIsNamed) {
    openPanel.picks.push_back(makeBundle(home.path() + "/Downloads", "Deep.app",
                                         deeplyNestedInfoPlist("com.example.Deep", 100000)));
    delegate().chooseApp();
    EXPECT_EQ(window.nameField.value.rfind("Error: ", 0), 0u) << window.nameField.value;
    EXPECT_FALSE(isRejection(window.nameField.value));
    EXPECT_FALSE(processWide().targetBundleIdentifier);
}

// --- Back to waiting ---------------------------------------------------------------------------

using StopProgress = Chooser;

TEST_F(StopProgress, GivesTheSameWindowFromEveryStateTwiceInARow) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Preferences/com.apple.Safari.plist");
    const auto toReady = [&] { pickBundle("/Applications/App.app", "com.x.App"); };
    const auto toNothing = [&] { pickBundle("/Applications/None.app", "com.x.None"); };
    const auto toRejected = [&] { openPanel.picks.push_back("/tmp/Notes.txt"); };
    const auto toHard = [&] {
        alerts.answers = {kAlertFirstButtonReturn};
        pickBundle("/Applications/Safari.app", "com.apple.Safari");
    };
    const auto toCancelled = [] {};

    const std::vector<std::function<void()>> states = {toReady, toNothing, toRejected, toHard,
                                                       toCancelled};
    for (const auto& prepare : states) {
        prepare();
        delegate().chooseApp();
        const bool hard = delegate().safariAggressive();
        const auto identifier = processWide().targetBundleIdentifier;
        const auto files = delegate().fullFilePaths();
        for (int round = 0; round < 2; ++round) {
            delegate().stopProgress();
            EXPECT_EQ(window.nameField.value, "");
            EXPECT_EQ(text(), kWaiting);
            EXPECT_TRUE(coloured(0, textLength(), Color::infoBlue()));
            EXPECT_FALSE(window.fixButton.enabled);
            EXPECT_TRUE(window.iconView.hidden);
            EXPECT_FALSE(window.chooseButton.hidden);
            EXPECT_TRUE(window.chooseButton.enabled);
            EXPECT_EQ(window.chooseButton.image, Image::named("Search-Find-256-2"));
        }
        // The state of the last choice is left for the next one to replace.
        EXPECT_EQ(delegate().safariAggressive(), hard);
        EXPECT_EQ(processWide().targetBundleIdentifier, identifier);
        EXPECT_EQ(delegate().fullFilePaths(), files);
    }
}

// --- The colouring operation -------------------------------------------------------------------

using Colouring = Chooser;

TEST_F(Colouring, ColoursOnlyThePartOfTheRangeInsideTheText) {
    AppDelegate& app = delegate();
    window.infoView.setString("abcdef");
    app.insertTextColor(Color::standardRed(), -3, 5, &window.infoView);
    EXPECT_TRUE(coloured(0, 2, Color::standardRed()));
    EXPECT_TRUE(coloured(2, 6, Color::infoBlue()));

    app.insertTextColor(Color::standardGray(), -5, 3, &window.infoView);
    app.insertTextColor(Color::standardGray(), 3, -2, &window.infoView);
    EXPECT_TRUE(coloured(2, 6, Color::infoBlue()));

    // Number objects are read as 32-bit integers.
    app.insertTextColor(Color::standardGray(), (std::int64_t{1} << 32) + 4, 1, &window.infoView);
    EXPECT_TRUE(coloured(4, 5, Color::standardGray()));
    EXPECT_TRUE(coloured(5, 6, Color::infoBlue()));
    EXPECT_EQ(text(), "abcdef");
}

} // namespace
} // namespace corvane::testing
