#include "core/update/UpdateCheck.h"

#include "BuildInfo.h"
#include "support/DelegateFixture.h"
#include "support/UpdateDoubles.h"

namespace corvane::testing {
namespace {

constexpr const char* kNewer = "99.0\n";
constexpr const char* kOlder = "0.1\n";

class UpdateCheck : public DelegateFixture {
protected:
    UpdateCheck() {
        services.notifications = &notifications;
        services.launcher = &launcher;
        services.urlLoader = &loader;
    }

    // Plays one complete answer of the server to the check in progress.
    void answer(int status, const std::vector<std::string>& pieces) {
        ASSERT_NE(loader.delegate, nullptr);
        loader.delegate->connectionDidReceiveResponse(status);
        for (const std::string& piece : pieces) {
            loader.delegate->connectionDidReceiveData(piece);
        }
        loader.delegate->connectionDidFinishLoading();
    }

    // A check started from the window's control, answered with `page`.
    void userCheck(int status, const std::string& page) {
        delegate().checkUpdate(&window.window);
        answer(status, {page});
    }

    std::vector<std::string> noticeTexts() const {
        std::vector<std::string> texts;
        for (const UserNotification& notification : notifications.delivered) {
            texts.push_back(notification.informativeText);
        }
        return texts;
    }

    RecordingNotifications notifications;
    ToolRunRecorder launcher;
    RecordingUrlLoader loader;
};

TEST_F(UpdateCheck, StartsOneLoadOfTheBuildsPage) {
    delegate().checkUpdate(&window.window);
    ASSERT_EQ(loader.started.size(), 1u);
    EXPECT_EQ(loader.started[0].url, build::kUpdateUrl);
    EXPECT_EQ(loader.started[0].maxBodyBytes, 64u * 1024u);
    EXPECT_EQ(loader.started[0].timeout, std::chrono::seconds(15));
    EXPECT_FALSE(delegate().autoCheck());
    EXPECT_FALSE(loader.delegate->connectionWillCacheResponse());
}

TEST_F(UpdateCheck, NewerVersionOffersToUpdateAndNotNowChangesNothing) {
    alerts.answers = {kAlertSecondButtonReturn};
    delegate().checkUpdate(&window.window);
    answer(200, {"9", "9.", "0 is out\n"}); // the page arrives in pieces

    ASSERT_EQ(alerts.shown.size(), 1u);
    const Alert& alert = alerts.shown[0];
    EXPECT_EQ(alert.messageText, "Corvane");
    EXPECT_EQ(alert.informativeText, "A newer version of Corvane is available.");
    ASSERT_EQ(alert.buttons.size(), 2u);
    EXPECT_EQ(alert.buttons[0].title, "Quit & Update");
    EXPECT_EQ(alert.buttons[1].title, "Not now");
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_EQ(application.terminateRequests, 0);
    EXPECT_TRUE(notifications.delivered.empty());
}

TEST_F(UpdateCheck, QuitAndUpdateOpensTheProductPageThenQuits) {
    alerts.answers = {kAlertFirstButtonReturn};
    int terminateRequestsDuringRun = -1;
    launcher.onRun = [&] { terminateRequestsDuringRun = application.terminateRequests; };
    userCheck(200, kNewer);

    ASSERT_EQ(launcher.runs.size(), 1u);
    EXPECT_EQ(launcher.runs[0].launchPath, launcher.toolPath(Tool::Open));
    EXPECT_EQ(launcher.runs[0].arguments, std::vector<std::string>{build::kProductUrl});
    EXPECT_EQ(terminateRequestsDuringRun, 0); // the page is opened before quitting is asked
    EXPECT_EQ(application.terminateRequests, 1);
}

TEST_F(UpdateCheck, SameOrOlderVersionIsUpToDate) {
    for (const std::string& page : {std::string(build::kVersion), std::string(kOlder)}) {
        alerts.shown.clear();
        userCheck(200, page);
        ASSERT_EQ(alerts.shown.size(), 1u) << page;
        EXPECT_EQ(alerts.shown[0].messageText, "Corvane");
        EXPECT_EQ(alerts.shown[0].informativeText, "Corvane is up to date.");
        ASSERT_EQ(alerts.shown[0].buttons.size(), 1u);
        EXPECT_EQ(alerts.shown[0].buttons[0].title, "OK");
    }
    EXPECT_TRUE(launcher.runs.empty());
    EXPECT_TRUE(notifications.delivered.empty());
}

TEST_F(UpdateCheck, QuietCheckShowsNothingWhenUpToDateButStillOffersANewerVersion) {
    delegate().checkUpdate(nullptr);
    EXPECT_TRUE(delegate().autoCheck());
    answer(200, {build::kVersion});
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(notifications.delivered.empty());

    alerts.answers = {kAlertSecondButtonReturn};
    delegate().checkUpdate(nullptr);
    answer(200, {kNewer});
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText, "A newer version of Corvane is available.");
}

TEST_F(UpdateCheck, LostConnectionIsNotifiedForQuietAndUserChecks) {
    for (const void* sender :
         {static_cast<const void*>(&window), static_cast<const void*>(nullptr)}) {
        notifications.delivered.clear();
        delegate().checkUpdate(sender);
        loader.delegate->connectionDidFailWithError("Connection refused");
        ASSERT_EQ(notifications.delivered.size(), 1u);
        const UserNotification& notice = notifications.delivered[0];
        EXPECT_EQ(notice.title, "Corvane");
        EXPECT_EQ(notice.informativeText, "No internet connection.");
        EXPECT_FALSE(notice.hasActionButton);
        EXPECT_TRUE(notice.playDefaultSound);
    }
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(UpdateCheck, PagesThatCarryNoVersionAreUnreadableNeverNewer) {
    const std::string unreadable = "The update information could not be read.";
    // Each of these would read as a newer version if only its first bytes were looked at.
    userCheck(404, kNewer);
    userCheck(500, kNewer);
    userCheck(302, kNewer);
    userCheck(200, std::string(kNewer) + std::string(64 * 1024, ' '));
    userCheck(200, std::string(kNewer) + "\xff\xfe");
    // And these carry no version at all.
    userCheck(200, "");
    userCheck(200, "v99.0");
    userCheck(200, "<html><body>Server maintenance</body></html>");

    EXPECT_EQ(noticeTexts(), std::vector<std::string>(8, unreadable));
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(notifications.delivered[0].title, "Corvane");
    EXPECT_FALSE(notifications.delivered[0].hasActionButton);
}

TEST_F(UpdateCheck, APageOfExactlyTheBoundIsRead) {
    alerts.answers = {kAlertSecondButtonReturn};
    std::string page = kNewer;
    page.resize(64 * 1024, ' ');
    delegate().checkUpdate(&window.window);
    // Sent in many small pieces, as a slow server would.
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < page.size(); at += 1000) {
        pieces.push_back(page.substr(at, 1000));
    }
    answer(200, pieces);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_TRUE(notifications.delivered.empty());
}

TEST_F(UpdateCheck, APageThatMentionsNoConnectionIsReadLikeAnyOther) {
    alerts.answers = {kAlertSecondButtonReturn};
    userCheck(200, "99.0 No connection");
    EXPECT_TRUE(notifications.delivered.empty());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText, "A newer version of Corvane is available.");
}

TEST_F(UpdateCheck, ANewResponseReplacesWhatArrivedBefore) {
    alerts.answers = {kAlertSecondButtonReturn};
    delegate().checkUpdate(&window.window);
    loader.delegate->connectionDidReceiveResponse(200);
    loader.delegate->connectionDidReceiveData("99.0 from a first part\n");
    answer(200, {kOlder});
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText, "Corvane is up to date.");
}

TEST_F(UpdateCheck, OneCheckAtATime) {
    delegate().checkUpdate(nullptr);
    delegate().checkUpdate(&window.window); // while the first is running
    EXPECT_EQ(loader.started.size(), 1u);
    // The click makes the quiet check's answer shown.
    answer(200, {build::kVersion});
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText, "Corvane is up to date.");

    delegate().checkUpdate(&window.window); // the first has ended
    EXPECT_EQ(loader.started.size(), 2u);
    loader.delegate->connectionDidFailWithError("timed out");
    delegate().checkUpdate(&window.window); // and so has a failed one
    EXPECT_EQ(loader.started.size(), 3u);
}

} // namespace
} // namespace corvane::testing
