#include "BuildInfo.h"
#include "core/update/UpdateCheck.h"
#include "gui/QtUrlLoader.h"
#include "support/FakeControls.h"
#include "support/FakeServices.h"
#include "support/UpdateDoubles.h"
#include "support/UpdateTestServer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace corvane::testing {
namespace {

constexpr const char* kNoConnection = "No internet connection.";
constexpr const char* kUnreadable = "The update information could not be read.";
constexpr const char* kNewerText = "A newer version of Corvane is available.";
constexpr const char* kUpToDateText = "Corvane is up to date.";

// The checks run through the real loader against servers on 127.0.0.1 whose certificate the
// test makes and trusts through SSL_CERT_FILE; the window's alerts and notices are doubles.
class UpdateOverHttps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = std::make_unique<QTemporaryDir>();
        trusted = makeTestCertificate(folder->path(), QStringLiteral("trusted"));
        untrusted = makeTestCertificate(folder->path(), QStringLiteral("untrusted"));
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override {
        ASSERT_TRUE(trusted && untrusted) << "the openssl tool could not make certificates";
        m_previousCertFile = qgetenv("SSL_CERT_FILE");
        m_hadCertFile = qEnvironmentVariableIsSet("SSL_CERT_FILE");
        qputenv("SSL_CERT_FILE", trusted->certificatePath.toLocal8Bit());
        services.alerts = &alerts;
        services.notifications = &notifications;
        services.launcher = &launcher;
        services.application = &application;
        services.urlLoader = &loader;
        delegate = std::make_unique<AppDelegate>(window.outlets(), services.ports(),
                                                 services.windowParts());
        alerts.answers = {kAlertSecondButtonReturn}; // "Not now"
    }

    void TearDown() override {
        qunsetenv("SSL_CERT_DIR");
        if (m_hadCertFile) {
            qputenv("SSL_CERT_FILE", m_previousCertFile);
        } else {
            qunsetenv("SSL_CERT_FILE");
        }
    }

    // Runs a check from the window's control against `url` and waits for its outcome.
    void check(const QString& url, std::chrono::milliseconds bound = std::chrono::seconds(15)) {
        UrlRequest request = defaultUpdateRequest();
        request.url = url.toStdString();
        request.timeout = bound;
        delegate->setUpdateRequest(request);
        delegate->checkUpdate(&window.window);
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return !alerts.shown.empty() || !notifications.delivered.empty(); }, 20000))
            << "the check never ended";
        QTest::qWait(50); // and nothing else follows
        EXPECT_EQ(alerts.shown.size() + notifications.delivered.size(), 1u);
    }

    std::string alertText() const {
        return alerts.shown.empty() ? std::string() : alerts.shown[0].informativeText;
    }
    std::string noticeText() const {
        return notifications.delivered.empty() ? std::string()
                                               : notifications.delivered[0].informativeText;
    }

    static CannedResponse page(const QByteArray& body, int status = 200,
                               const QByteArray& reason = "OK") {
        CannedResponse response;
        response.status = status;
        response.reason = reason;
        response.body = body;
        return response;
    }

    static inline std::unique_ptr<QTemporaryDir> folder;
    static inline std::optional<TestCertificate> trusted;
    static inline std::optional<TestCertificate> untrusted;

    FakeMainWindow window;
    ScriptedAlerts alerts;
    RecordingNotifications notifications;
    ToolRunRecorder launcher;
    RecordingApplication application;
    QtUrlLoader loader;
    DelegateDoubles services;
    std::unique_ptr<AppDelegate> delegate;

private:
    QByteArray m_previousCertFile;
    bool m_hadCertFile = false;
};

TEST_F(UpdateOverHttps, NewerVersionIsOffered) {
    LocalHttpsServer server(*trusted);
    server.route("/latest-version.txt", page("99.0\n"));
    check(server.url());
    EXPECT_EQ(alertText(), kNewerText);
    ASSERT_EQ(server.requestHeads.size(), 1);
    EXPECT_TRUE(server.requestHeads[0].startsWith("GET /latest-version.txt HTTP/1.1\r\n"));
}

TEST_F(UpdateOverHttps, SameVersionIsUpToDate) {
    LocalHttpsServer server(*trusted);
    server.route("/latest-version.txt", page(QByteArray(build::kVersion) + "\n"));
    check(server.url());
    EXPECT_EQ(alertText(), kUpToDateText);
}

TEST_F(UpdateOverHttps, ErrorPagesAreUnreadable) {
    // Both bodies begin with a number that would read as a newer version.
    LocalHttpsServer server(*trusted);
    server.route("/missing", page("404 Not Found\n", 404, "Not Found"));
    server.route("/broken", page("500 Internal Server Error\n", 500, "Internal Server Error"));
    check(server.url(QStringLiteral("/missing")));
    EXPECT_EQ(noticeText(), kUnreadable);
    notifications.delivered.clear();
    check(server.url(QStringLiteral("/broken")));
    EXPECT_EQ(noticeText(), kUnreadable);
}

TEST_F(UpdateOverHttps, OversizedPageIsUnreadable) {
    LocalHttpsServer server(*trusted);
    server.route("/latest-version.txt", page("99.0\n" + QByteArray(70 * 1024, 'x')));
    check(server.url());
    EXPECT_EQ(noticeText(), kUnreadable);
}

TEST_F(UpdateOverHttps, RedirectsAreFollowedButNeverToPlainHttp) {
    ConnectionCounter plain;
    LocalHttpsServer server(*trusted);
    CannedResponse toHttps = page("", 302, "Found");
    toHttps.headers = {{"Location", server.url(QStringLiteral("/moved")).toUtf8()}};
    CannedResponse toHttp = page("", 302, "Found");
    toHttp.headers = {{"Location", "http://127.0.0.1:" + QByteArray::number(plain.serverPort()) +
                                       "/latest-version.txt"}};
    server.route("/latest-version.txt", toHttps);
    server.route("/moved", page("99.0\n"));
    server.route("/downgrade", toHttp);

    check(server.url());
    EXPECT_EQ(alertText(), kNewerText);

    alerts.shown.clear();
    check(server.url(QStringLiteral("/downgrade")));
    EXPECT_EQ(noticeText(), kUnreadable);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(plain.connections, 0);
}

TEST_F(UpdateOverHttps, SilentServerFailsAtTheTimeBound) {
    LocalHttpsServer server(*trusted);
    server.setSilent(true);
    QElapsedTimer clock;
    clock.start();
    check(server.url(), std::chrono::milliseconds(700));
    EXPECT_EQ(noticeText(), kNoConnection);
    EXPECT_GE(clock.elapsed(), 600);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(server.connections, 1);
}

TEST_F(UpdateOverHttps, RefusedConnectionIsNoConnection) {
    quint16 port = 0;
    {
        ConnectionCounter closed; // a port that was free a moment ago, and is closed now
        port = closed.serverPort();
    }
    check(QStringLiteral("https://127.0.0.1:%1/latest-version.txt").arg(port));
    EXPECT_EQ(noticeText(), kNoConnection);
}

TEST_F(UpdateOverHttps, UntrustedCertificateIsNoConnection) {
    LocalHttpsServer server(*untrusted);
    server.route("/latest-version.txt", page("99.0\n"));
    check(server.url());
    EXPECT_EQ(noticeText(), kNoConnection);
    EXPECT_TRUE(server.requestHeads.isEmpty()); // no request went to the untrusted peer
}

TEST_F(UpdateOverHttps, TheLocalCertificateIsTrustedOnlyThroughTheSystemVariables) {
    qunsetenv("SSL_CERT_FILE");
    LocalHttpsServer server(*trusted);
    server.route("/latest-version.txt", page("99.0\n"));
    check(server.url());
    EXPECT_EQ(noticeText(), kNoConnection);

    // A folder of certificates serves as well as one file.
    notifications.delivered.clear();
    qputenv("SSL_CERT_DIR", folder->path().toLocal8Bit());
    check(server.url());
    qunsetenv("SSL_CERT_DIR");
    EXPECT_EQ(alertText(), kNewerText) << noticeText();
}

} // namespace
} // namespace corvane::testing
