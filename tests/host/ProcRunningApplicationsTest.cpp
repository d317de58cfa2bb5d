#include "host/linux/ProcRunningApplications.h"

#include "support/PortDoubles.h"
#include "support/StandInApp.h"
#include "support/TempHome.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
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

// Counts the reads of each bundle: other tests may run applications of their own meanwhile.
class CountingBundleReader : public MapBundleReader {
public:
    Result<BundleInfo, BundleError> readBundle(const std::string& path) const override {
        ++reads[path];
        return MapBundleReader::readBundle(path);
    }
    mutable std::map<std::string, int> reads;
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

    reader.reads.clear();
    const std::vector<pid_t> found = running.withBundleIdentifier(identifier).value();
    EXPECT_EQ(found, (std::vector<pid_t>{std::min(first.pid(), second.pid()),
                                         std::max(first.pid(), second.pid())}));
    EXPECT_EQ(reader.reads[bundle], 1); // one read per bundle and query
    EXPECT_TRUE(running.withBundleIdentifier(identifier + "X").value().empty());
    EXPECT_TRUE(running.withBundleIdentifier("org.corvane.test").value().empty());
    EXPECT_TRUE(running.withBundleIdentifier("").value().empty());
}

TEST_F(RunningApplicationsOnProc, AnInstanceAskedToQuitIsGoneEvenBeforeItIsReaped) {
    StandInProcess process(executable);
    ASSERT_EQ(running.withBundleIdentifier(identifier).value(), std::vector<pid_t>{process.pid()});
    running.terminate(process.pid());
    // Not reaped yet: the process lingers as a zombie, which no longer runs the application.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!running.withBundleIdentifier(identifier).value().empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(running.withBundleIdentifier(identifier).value().empty());
    EXPECT_TRUE(process.waitForEnd(1s));
}

TEST_F(RunningApplicationsOnProc, AnInstanceThatIgnoresTheRequestKeepsRunning) {
    StandInProcess process(executable, true);
    running.terminate(process.pid());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(running.withBundleIdentifier(identifier).value(), std::vector<pid_t>{process.pid()});
    EXPECT_FALSE(process.hasEnded());
}

TEST_F(RunningApplicationsOnProc, NeverAsksItselfToQuit) {
    // This process would be asked to quit if the check were missing; the test would then end.
    running.terminate(getpid());
    SUCCEED();
}

// Runs a command in a folder until the object goes; the command must keep running.
class RunningCommand {
public:
    RunningCommand(const std::string& folder, std::vector<std::string> command) {
        std::vector<char*> argv;
        for (std::string& word : command) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            if (chdir(folder.c_str()) == 0) {
                execv(argv[0], argv.data());
            }
            _exit(127);
        }
        // Wait until the command runs (its own program replaced the copy of this one).
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        for (int i = 0; i < 200; ++i) {
            std::error_code error;
            const auto exe =
                std::filesystem::read_symlink("/proc/" + std::to_string(m_pid) + "/exe", error);
            if (!error && exe.string() != self) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    ~RunningCommand() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

TEST_F(RunningApplicationsOnProc, AScriptInTheBundleRunByAnInterpreterIsAnInstance) {
    const std::string folder = bundle + "/Contents/MacOS";
    std::ofstream(folder + "/script.sh") << "while :; do sleep 1; done\n";
    // Named relative to the working folder, after an option of the interpreter.
    const RunningCommand shell(folder, {"/bin/sh", "-e", "script.sh"});
    // A program that only reads the script is no instance.
    const RunningCommand viewer(folder, {"/usr/bin/tail", "-f", folder + "/script.sh"});

    EXPECT_EQ(running.withBundleIdentifier(identifier).value(), std::vector<pid_t>{shell.pid()});
}

} // namespace
} // namespace corvane::testing
