#include "support/DelegateFixture.h"

#include <functional>

namespace corvane::testing {
namespace {

using Startup = DelegateFixture;

TEST_F(Startup, StartsWaitingWithEmptyListsAndNoFlags) {
    AppDelegate& app = delegate();
    EXPECT_TRUE(app.shortFilePaths().empty());
    EXPECT_TRUE(app.fullFilePaths().empty());
    EXPECT_TRUE(app.shortStatePaths().empty());
    EXPECT_TRUE(app.fullStatePaths().empty());
    EXPECT_FALSE(app.autoCheck() || app.isApp() || app.isSystemApp() || app.hasPrefPlist() ||
                 app.hasAppSaveState() || app.safariAggressive() || app.isSafari());
    EXPECT_FALSE(app.path());
    EXPECT_EQ(window.window.background, Color::white());
    EXPECT_EQ(window.infoView.string(), "Waiting for an app to fix...");
    EXPECT_EQ(window.infoView.fontFamily, "Helvetica Neue");
    EXPECT_EQ(window.infoView.fontPoints, 12.0);
    EXPECT_TRUE(window.infoView.rangeHasColour(0, 28, Color{0.0, 0.5, 0.8, 1.0}));
    EXPECT_FALSE(processWide().targetBundleIdentifier || processWide().targetApplicationName ||
                 processWide().reportFileList || processWide().safariFolder);
}

// The hint says how to start exactly while the window waits for an application.
TEST_F(Startup, TheHintShowsOnlyWhileTheWindowWaits) {
    bundles.bundles["/Applications/Example.app"] = BundleInfo{"com.x.App", {}, {}};
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"at start", [&] { delegate(); }},
        {"a pick cancelled", [&] { delegate().chooseApp(); }},
        {"an application chosen",
         [&] {
             openPanel.picks.push_back("/Applications/Example.app");
             delegate().chooseApp();
         }},
        {"(X) pressed", [&] { delegate().stopProgress(); }},
        {"an item that is no application",
         [&] { delegate().chooseAppAtPath("/Applications/Nothing.app"); }},
    };
    const bool waiting[] = {true, true, false, true, false};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].first);
        steps[i].second();
        EXPECT_EQ(window.hint.hidden, !waiting[i]);
        EXPECT_FALSE(window.hint.text.empty());
    }
}

TEST_F(Startup, QuitIsDeferredAndClosingTheWindowQuits) {
    AppDelegate& app = delegate();
    app.quitTheApp();
    EXPECT_EQ(application.terminateRequests, 1); // asked, not yet ended: we are still here
    EXPECT_TRUE(app.applicationShouldTerminateAfterLastWindowClosed());
    EXPECT_TRUE(app.userNotificationCenterShouldPresentNotification({"Corvane", "x"}));
}

using InfoView = DelegateFixture;

TEST_F(InfoView, ColouringClampsAndIgnoresEmptyRanges) {
    AppDelegate& app = delegate();
    window.infoView.setString("abcdef");
    app.insertTextColor(Color::standardRed(), std::nullopt, 2, &window.infoView);
    EXPECT_TRUE(window.infoView.rangeHasColour(0, 2, Color::standardRed()));
    EXPECT_TRUE(window.infoView.rangeHasColour(2, 6, Color::infoBlue()));

    app.insertTextColor(Color::standardGray(), 4, 0, &window.infoView);
    EXPECT_TRUE(window.infoView.rangeHasColour(2, 6, Color::infoBlue()));

    app.insertTextColor(Color::standardGray(), 4, 1000, &window.infoView);
    EXPECT_TRUE(window.infoView.rangeHasColour(4, 6, Color::standardGray()));
    app.insertTextColor(Color::standardGray(), 1000, 5, &window.infoView);
    app.insertTextColor(Color::standardGray(), -3, 2, &window.infoView);
    app.insertTextColor(Color::standardGray(), 1, 2, nullptr);
    EXPECT_EQ(window.infoView.string(), "abcdef");
}

TEST_F(InfoView, ColouringCountsUtf16Units) {
    AppDelegate& app = delegate();
    window.infoView.setString("\u26A0\uFE0F \U0001F600x"); // 2 + 1 + 2 + 1 units
    ASSERT_EQ(window.infoView.colours().size(), 6u);
    app.insertTextColor(Color::standardRed(), 3, 2, &window.infoView);
    EXPECT_TRUE(window.infoView.rangeHasColour(3, 5, Color::standardRed()));
    EXPECT_TRUE(window.infoView.rangeHasColour(5, 6, Color::infoBlue()));
}

TEST_F(InfoView, StopProgressGivesTheWaitingWindowFromAnyState) {
    AppDelegate& app = delegate();
    window.nameField.value = "Example.app";
    window.infoView.setString("report");
    app.insertTextColor(Color::standardGray(), 0, 6, &window.infoView);
    window.fixButton.enabled = true;
    window.iconView.hidden = false;
    window.chooseButton.hidden = true;
    window.chooseButton.enabled = false;
    processWide().targetBundleIdentifier = "com.x.App";

    for (int round = 0; round < 2; ++round) {
        app.stopProgress();
        EXPECT_EQ(window.nameField.value, "");
        EXPECT_EQ(window.infoView.string(), "Waiting for an app to fix...");
        EXPECT_TRUE(window.infoView.rangeHasColour(0, 28, Color::infoBlue()));
        EXPECT_FALSE(window.fixButton.enabled);
        EXPECT_TRUE(window.iconView.hidden);
        EXPECT_FALSE(window.chooseButton.hidden);
        EXPECT_TRUE(window.chooseButton.enabled);
        EXPECT_EQ(window.chooseButton.image, Image::named("Search-Find-256-2"));
    }
    EXPECT_EQ(processWide().targetBundleIdentifier, "com.x.App");
}

} // namespace
} // namespace corvane::testing
