#include "gui/DesktopNotifications.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"
#include "support/GuiHelpers.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// A stand-in for the desktop's notification service, registered on the session bus that the
// test runs under (dbus-run-session gives each run a private one). It has a connection of its
// own, so calls reach it through the bus as they would reach a real service.
class FakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout;
    };

    explicit FakeNotificationService(bool answers = true)
        : m_answers(answers),
          m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName)) {
        registered = m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots) &&
                     m_bus.registerService(kService);
    }
    ~FakeNotificationService() override {
        m_bus.unregisterService(kService);
        m_bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(kConnectionName);
    }

    bool registered = false;
    QList<Call> calls;

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int expireTimeout) {
        calls.append({appName, summary, body, actions, hints, expireTimeout});
        if (!m_answers) {
            setDelayedReply(true); // and never reply, as a hung service would
        }
        return static_cast<uint>(calls.size());
    }

private:
    static inline const QString kConnectionName = QStringLiteral("fake-notification-service");
    bool m_answers;
    QDBusConnection m_bus;
};

UserNotification noConnectionNotice() {
    return {"Corvane", "No internet connection.", false, true};
}

bool noticeShows(const MainWindow& window, const QString& text) {
    return !window.noticeLabel()->isHidden() && window.noticeLabel()->text() == text;
}

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus: run the tests under dbus-run-session";
        }
    }
};

TEST_F(Notifications, ReachTheDesktopService) {
    FakeNotificationService service;
    ASSERT_TRUE(service.registered);
    MainWindow window;
    DesktopNotifications notifications(window);
    notifications.deliver(noConnectionNotice());

    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }, 5000));
    const FakeNotificationService::Call& call = service.calls[0];
    EXPECT_EQ(call.appName, QStringLiteral("Corvane"));
    EXPECT_EQ(call.summary, QStringLiteral("Corvane"));
    EXPECT_EQ(call.body, QStringLiteral("No internet connection."));
    EXPECT_TRUE(call.actions.isEmpty()); // no action button
    EXPECT_EQ(call.hints.value(QStringLiteral("sound-name")).toString(),
              QStringLiteral("message-new-instant"));
    EXPECT_FALSE(call.hints.contains(QStringLiteral("suppress-sound")));
    EXPECT_EQ(call.expireTimeout, -1);
    QTest::qWait(100);
    EXPECT_TRUE(window.noticeLabel()->isHidden()); // the service showed it, not the window
}

TEST_F(Notifications, WithoutAServiceTheWindowShowsTheText) {
    MainWindow window;
    window.show();
    DesktopNotifications notifications(window);
    notifications.deliver(noConnectionNotice());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // nothing blocks the window
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return noticeShows(window, QStringLiteral("No internet connection.")); }, 5000));
    saveScreenshot(window, QStringLiteral("notice-in-window"));
}

TEST_F(Notifications, AServiceThatNeverAnswersFallsBackToTheWindow) {
    FakeNotificationService service(false);
    ASSERT_TRUE(service.registered);
    MainWindow window;
    DesktopNotifications notifications(window);
    notifications.setReplyTimeout(300);
    notifications.deliver(noConnectionNotice());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return noticeShows(window, QStringLiteral("No internet connection.")); }, 5000));
    EXPECT_EQ(service.calls.size(), 1);
}

TEST_F(Notifications, InFrontTheControllersAnswerDecides) {
    FakeNotificationService service;
    ASSERT_TRUE(service.registered);
    TempHome home;
    FrontEnd frontEnd;
    frontEnd.start();
    MainWindow& window = frontEnd.window();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // The controller answers yes for every notification, so it goes to the desktop.
    frontEnd.delegate().parseUpdate(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }, 5000));
    EXPECT_EQ(service.calls[0].body, QStringLiteral("No internet connection."));

    // With no one to ask, a notification is not presented over the window in front: the
    // window shows it.
    DesktopNotifications unasked(window);
    unasked.deliver({"Corvane", "The update information could not be read.", false, true});
    EXPECT_TRUE(noticeShows(window, QStringLiteral("The update information could not be read.")));
    QTest::qWait(100);
    EXPECT_EQ(service.calls.size(), 1);
}

} // namespace
} // namespace corvane::testing

#include "NotificationTest.moc"
