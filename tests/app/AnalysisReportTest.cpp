#include "core/analysis/AnalysisReport.h"

#include "base/Text.h"
#include "core/analysis/Discovery.h"
#include "host/posix/FileCookieStore.h"
#include "support/CookieFiles.h"
#include "support/DelegateFixture.h"

#include <sstream>

namespace corvane::testing {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        result.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    result.push_back(text.substr(start));
    return result;
}

TEST(ReportComposition, WorkedExampleGivesElevenLines) {
    const Report report = composeReport({"P1", "P2", "\n"}, {"S1", "S2"}, false, "Example.app");
    const std::vector<std::string> expected = {
        "Corvane can safely remove the following user preference and window data files:",
        "",
        "P1",
        "P2",
        "",
        "S1",
        "S2",
        "",
        "Click the \"Fix\" button to restore Example.app or (X) to cancel.",
        "\u26A0\uFE0F User preferences & unsaved data associated with this app will be lost!",
        "",
        ""};
    EXPECT_EQ(lines(report.text), expected); // the last "" is the text's closing line feed
    EXPECT_EQ(report.fileList, "P1\nP2\n\n");
    EXPECT_EQ(report.text.find("\xE2\x9A\xA0\xEF\xB8\x8F User"), report.text.find("\u26A0"));
}

TEST(ReportComposition, PreferencesOnlyLeavesThreeEmptyLinesBeforeClick) {
    const Report report = composeReport({"a.plist", "\n"}, {}, false, "A.app");
    EXPECT_EQ(report.text,
              "Corvane can safely remove the following user preference files:\n\na.plist\n\n\n\n"
              "Click the \"Fix\" button to restore A.app or (X) to cancel.\n\u26A0\uFE0F User "
              "preferences & unsaved data associated with this app will be lost!\n\n");
}

TEST(ReportComposition, StateOnlyShowsTildeLine) {
    const Report report =
        composeReport({}, {"a.savedState", "a.savedState/w.data"}, false, "A.app");
    EXPECT_EQ(report.fileList, "~\n");
    EXPECT_EQ(lines(report.text)[0], "Corvane can safely remove the following user window data "
                                     "files:");
    EXPECT_EQ(lines(report.text)[2], "~");
    EXPECT_EQ(lines(report.text)[3], "a.savedState");
    EXPECT_EQ(lines(report.text)[4], "a.savedState/w.data");
    EXPECT_EQ(report.text.find("and "), std::string::npos);
}

TEST(ReportComposition, SafariSoftTemplate) {
    const Report report = composeReport({"com.apple.Safari.plist", "\n"}, {}, true, "Safari.app");
    EXPECT_EQ(report.text.rfind("Safari Soft Reset - click \"Fix\" to complete!\n\nCorvane can "
                                "safely remove the following user preference files:\n\n",
                                0),
              0u);
    const std::string ending =
        "Click the \"Fix\" button to restore Safari.app or (X) to cancel.\n\n\u26A0\uFE0F A "
        "'Hard' reset will completely remove all Safari's bookmarks, cookies, history, "
        "extensions, top sites and all other data. Restore can put it back while the Trash holds "
        "it.\n\n";
    EXPECT_EQ(report.text.substr(report.text.size() - ending.size()), ending);
}

TEST(ReportComposition, NothingFoundMessage) {
    EXPECT_EQ(nothingFoundMessage("Example.app"),
              "This version of Corvane can't find anything to fix for Example.app at the "
              "moment.");
}

TEST(ReportComposition, TheGreyStretchIsExactlyTheListsWhateverTheirNames) {
    struct Row {
        Lines files;
        Lines states;
        bool safari;
    };
    const std::vector<Row> rows = {
        {{"P1", "P2", "\n"}, {"S1"}, false},
        {{}, {"Click.savedState"}, false},                        // a name holding "Click"
        {{"com.example.Clicker.plist", "\n"}, {}, false},         // in the file list too
        {{"caf\xc3\xa9 \xf0\x9f\x98\x80.plist", "\n"}, {}, true}, // beyond one UTF-16 unit
    };
    for (const Row& row : rows) {
        const Report report = composeReport(row.files, row.states, row.safari, "A.app");
        std::string lists = (row.files.empty() ? std::string("~\n") : joinLines(row.files)) +
                            joinLines(row.states) + "\n\n";
        const std::size_t at = report.text.find(":\n\n" + lists + "Click");
        ASSERT_NE(at, std::string::npos) << report.text;
        EXPECT_EQ(report.listsFrom, utf16Length(report.text.substr(0, at + 3)));
        EXPECT_EQ(report.listsLength, utf16Length(lists));
    }
}

using Analysis = DelegateFixture;

// The report's text, none when a Hard reset was chosen instead.
std::optional<std::string> textOf(const AnalyserResult& analysis) {
    const auto* report = std::get_if<AnalyserReport>(&analysis);
    return report ? std::optional(report->text) : std::nullopt;
}

TEST_F(Analysis, PreferencesAndStateFromRealFolders) {
    home.file("Library/Preferences/com.x.App.plist");
    home.file("Library/Saved Application State/com.x.App.savedState/windows.plist");
    target("com.x.App");
    const auto report = textOf(delegate().analyser());
    ASSERT_TRUE(report);
    EXPECT_EQ(
        *report,
        "Corvane can safely remove the following user preference and window data files:\n\n"
        "com.x.App.plist\n\n"
        "com.x.App.savedState\ncom.x.App.savedState/windows.plist\n\n"
        "Click the \"Fix\" button to restore Example.app or (X) to cancel.\n"
        "\u26A0\uFE0F User preferences & unsaved data associated with this app will be lost!\n\n");
    EXPECT_EQ(processWide().reportFileList, "com.x.App.plist\n\n");
    EXPECT_EQ(delegate().fullFilePaths(),
              PathList{home.library() + "/Preferences/com.x.App.plist"});
}

TEST_F(Analysis, NothingFoundKeepsEarlierFileList) {
    processWide().reportFileList = "earlier\n\n";
    target("com.x.Missing");
    EXPECT_EQ(textOf(delegate().analyser()), nothingFoundMessage("Example.app"));
    EXPECT_EQ(processWide().reportFileList, "earlier\n\n");
    EXPECT_FALSE(delegate().hasPrefPlist());
    EXPECT_FALSE(delegate().hasAppSaveState());
}

TEST_F(Analysis, SecondAnalysisStartsFromEmptyLists) {
    home.file("Library/Preferences/com.first.App.plist");
    home.file("Library/Preferences/com.second.App.plist");
    target("com.first.App");
    (void)delegate().analyser();
    target("com.second.App", "Second.app");
    const auto report = textOf(delegate().analyser());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->find("com.first"), std::string::npos);
    EXPECT_EQ(delegate().shortFilePaths(), (PathList{"com.second.App.plist", "\n"}));
}

TEST_F(Analysis, SafariHardGivesNoReportButUpdatesFileList) {
    home.file("Library/Preferences/com.apple.Safari.plist");
    target("com.apple.Safari", "Safari.app");
    alerts.answers = {kAlertFirstButtonReturn};
    EXPECT_TRUE(std::holds_alternative<HardResetChosen>(delegate().analyser()));
    EXPECT_EQ(processWide().reportFileList, "com.apple.Safari.plist\n\n");
    EXPECT_EQ(window.infoView.string(), kHardResetNotice);
}

// Below its red notice, in the report's grey, the Hard reset lists what it takes: its folders
// with how many items each holds, the shared store's cookies, then the Soft report's entries.
TEST_F(Analysis, SafariHardListsWhatItTakesBelowItsNotice) {
    FileCookieStore cookies(fileSystem);
    services.cookieStore = &cookies;
    home.file("Library/Safari/Bookmarks.plist");
    home.file("Library/Safari/History/one");
    home.file("Library/Caches/com.apple.Safari/Cache.db");
    home.file("Library/Cookies/com.apple.Safari.binarycookies");
    home.file("Library/Cookies/Cookies.binarycookies",
              cookieFile({cookiePage({cookieRecord(".example.com", "a", "/", "1"),
                                      cookieRecord(".example.org", "b", "/", "2")})}));
    home.file("Library/Preferences/com.apple.Safari.plist");
    home.file("Library/Saved Application State/com.apple.Safari.savedState/windows.plist");
    bundles.bundles["/Applications/Safari.app"] = BundleInfo{"com.apple.Safari", {}, {}};
    openPanel.picks.push_back("/Applications/Safari.app");
    alerts.answers = {kAlertFirstButtonReturn};

    delegate().chooseApp();

    const std::string text = window.infoView.string();
    const std::string lists =
        "Library/Safari (3 items)\n"
        "Library/Caches/com.apple.Safari (1 item)\n"
        "Library/Cookies/com.apple.Safari.binarycookies\n"
        "every cookie of the shared store Library/Cookies/Cookies.binarycookies (2 cookies)\n\n"
        "com.apple.Safari.plist\n\n"
        "com.apple.Safari.savedState\ncom.apple.Safari.savedState/windows.plist";
    ASSERT_EQ(text.rfind(kHardResetNotice, 0), 0u) << text;
    const std::size_t at = text.find(lists);
    ASSERT_NE(at, std::string::npos) << text;
    const auto from = static_cast<std::int64_t>(at);
    const auto to = from + static_cast<std::int64_t>(lists.size());
    const std::int64_t notice = utf16Length(kHardResetNotice);
    EXPECT_TRUE(window.infoView.rangeHasColour(0, notice, Color::standardRed()));
    EXPECT_TRUE(window.infoView.rangeHasColour(notice, from, Color::infoBlue()));
    EXPECT_TRUE(window.infoView.rangeHasColour(from, to, Color::standardGray()));
    EXPECT_TRUE(window.fixButton.enabled);
}

// With nothing of Safari's found the Hard reset still takes the shared store's cookies, and says
// so even when the store cannot be read to count them.
TEST_F(Analysis, SafariHardWithNothingFoundStillShowsWhatItTakes) {
    FileCookieStore cookies(fileSystem);
    services.cookieStore = &cookies;
    home.file("Library/Cookies/Cookies.binarycookies", "\x01 not a cookie store");
    target("com.apple.Safari", "Safari.app");
    alerts.answers = {kAlertFirstButtonReturn};
    const AnalyserResult analysis = delegate().analyser();
    const auto* hard = std::get_if<HardResetChosen>(&analysis);
    ASSERT_TRUE(hard);
    const std::string lists = hard->text.substr(static_cast<std::size_t>(hard->listsFrom),
                                                static_cast<std::size_t>(hard->listsLength));
    EXPECT_EQ(
        lists.rfind("every cookie of the shared store Library/Cookies/Cookies.binarycookies", 0),
        0u)
        << lists;
    EXPECT_NE(lists.find("could not be read"), std::string::npos) << lists;
    EXPECT_EQ(lists.find('\n'), std::string::npos) << lists;
    EXPECT_TRUE(delegate().safariAggressive());
}

TEST_F(Analysis, SafariSoftUsesItsTemplate) {
    home.file("Library/Safari/LastSession.plist");
    target("com.apple.Safari", "Safari.app");
    alerts.answers = {kAlertSecondButtonReturn};
    const auto report = textOf(delegate().analyser());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->rfind("Safari Soft Reset", 0), 0u);
    EXPECT_NE(report->find("LastSession.plist\n\n"), std::string::npos);
}

TEST_F(Analysis, UnusableHomeIsRefusedWithoutWalking) {
    home.file("Library/Preferences/com.x.App.plist");
    target("com.x.App");
    for (const char* bad : {"", "relative/home", "/", "///"}) {
        setenv("HOME", bad, 1);
        const auto report = textOf(delegate().analyser());
        ASSERT_TRUE(report) << bad;
        EXPECT_NE(report->find("home folder"), std::string::npos) << bad;
        EXPECT_TRUE(delegate().fullFilePaths().empty()) << bad;
        EXPECT_FALSE(delegate().hasPrefPlist());
    }
    setenv("HOME", home.path().c_str(), 1);
}

} // namespace
} // namespace corvane::testing
