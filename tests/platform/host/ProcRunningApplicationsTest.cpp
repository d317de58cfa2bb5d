#include "platform/host/ProcRunningApplications.h"

#include "support/FakeServices.h"
#include "support/StandInApp.h"
#include "support/TempHome.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

TEST(BundleOfExecutable, IsTheInnermostAppWhoseMacOSFolderHoldsIt) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {"/Applications/Mail.app/Contents/MacOS/Mail", "/Applications/Mail.app"},
        {"/A/Outer.app/Contents/Frameworks/Helper.app/Contents/MacOS/Helper",
         "/A/Outer.app/Contents/Frameworks/Helper.app"},
        {"/A/My Tool.app/Contents/MacOS/sub/tool", "/A/My Tool.app"},
        {"/usr/bin/python3", std::nullopt},
        {"/A/Mail.app/Contents/Resources/helper", std::nullopt},
        {"/A/.app/Contents/MacOS/x", std::nullopt},
        {".app/Contents/MacOS/x", std::nullopt},
    };
    for (const auto& [executable, bundle] : rows) {
        EXPECT_EQ(bundleOfExecutable(executable), bundle) << executable;
    }
}

class CountingBundleReader : public MapBundleReader {
public:
    std::optional<BundleInfo> readBundle(const std::string& path) const override {
        ++reads;
        return MapBundleReader::readBundle(path);
    }
    mutable int reads = 0;
};

class RunningApplicationsOnProc : public ::testing::Test {
protected:
    RunningApplicationsOnProc() {
        identifier = "org.corvane.test.Running" + std::to_string(getpid());
        const StandInBundle app(home.path() + "/Applications", "StandIn", identifier);
        bundle = app.bundlePath();
        executable = app.executable();
        reader.bundles[bundle] = BundleInfo{identifier, std::nullopt, std::nullopt};
    }

    TempHome home;
    std::string identifier;
    std::string bundle;
    std::string executable;
    CountingBundleReader reader;
    ProcRunningApplications running{reader};
};

TEST_F(RunningApplicationsOnProc, FindsEachInstanceOfTheBundleByItsIdentifier) {
    StandInProcess first(executable);
    StandInProcess second(executable);
    // The same program outside a bundle is no instance of the application.
    std::filesystem::copy_file(executable, home.path() + "/loose");
    std::filesystem::permissions(home.path() + "/loose", std::filesystem::perms::owner_all);
    StandInProcess loose(home.path() + "/loose");

    reader.reads = 0;
    const std::vector<pid_t> found = running.withBundleIdentifier(identifier);
    EXPECT_EQ(found, (std::vector<pid_t>{std::min(first.pid(), second.pid()),
                                         std::max(first.pid(), second.pid())}));
    EXPECT_EQ(reader.reads, 1); // one read per bundle and query
    EXPECT_TRUE(running.withBundleIdentifier(identifier + "X").empty());
    EXPECT_TRUE(running.withBundleIdentifier("org.corvane.test").empty());
    EXPECT_TRUE(running.withBundleIdentifier("").empty());
}

TEST_F(RunningApplicationsOnProc, AnInstanceAskedToQuitIsGoneEvenBeforeItIsReaped) {
    StandInProcess process(executable);
    ASSERT_EQ(running.withBundleIdentifier(identifier), std::vector<pid_t>{process.pid()});
    running.terminate(process.pid());
    // Not reaped yet: the process lingers as a zombie, which no longer runs the application.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!running.withBundleIdentifier(identifier).empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(running.withBundleIdentifier(identifier).empty());
    EXPECT_TRUE(process.waitForEnd(1s));
}

TEST_F(RunningApplicationsOnProc, AnInstanceThatIgnoresTheRequestKeepsRunning) {
    StandInProcess process(executable, true);
    running.terminate(process.pid());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(running.withBundleIdentifier(identifier), std::vector<pid_t>{process.pid()});
    EXPECT_FALSE(process.hasEnded());
}

TEST_F(RunningApplicationsOnProc, NeverAsksItselfToQuit) {
    // This process would be asked to quit if the check were missing; the test would then end.
    running.terminate(getpid());
    SUCCEED();
}

} // namespace
} // namespace corvane::testing
