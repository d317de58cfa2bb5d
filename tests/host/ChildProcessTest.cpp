#include "host/ChildProcess.h"

#include "host/SyslogSystemLog.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

ChildResult shell(const std::string& script, const ChildOptions& options = {}) {
    return runChildProcess("/bin/sh", {"-c", script}, options);
}

TEST(ChildProcess, ToolsStartWithDefaultSignalsWhateverThisProcessIgnoresOrBlocks) {
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTERM, &ignore, &previous);
    sigset_t blocked;
    sigset_t before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigprocmask(SIG_BLOCK, &blocked, &before);

    // A shell that inherits an ignored or blocked signal survives sending it to itself.
    const ChildResult term = shell("kill -TERM $$; echo survived");
    const ChildResult usr1 = shell("kill -USR1 $$; echo survived");

    sigprocmask(SIG_SETMASK, &before, nullptr);
    sigaction(SIGTERM, &previous, nullptr);
    EXPECT_TRUE(term.started);
    EXPECT_EQ(term.output, "");
    EXPECT_FALSE(term.exitStatus);
    EXPECT_EQ(usr1.output, "");
}

TEST(ChildProcess, ReportsTheExitStatusAndStopsAtItsBounds) {
    EXPECT_EQ(shell("exit 7").exitStatus, std::optional<int>(7));

    const auto start = std::chrono::steady_clock::now();
    const ChildResult slow = shell("echo begun; sleep 5", {200ms, std::nullopt});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.output, "begun\n");

    const ChildResult endless = runChildProcess("/usr/bin/yes", {}, {std::nullopt, 100000});
    EXPECT_TRUE(endless.timedOut);
    EXPECT_GT(endless.output.size(), 100000u);
}

TEST(SystemLog, WritesOneLinePerMessageToStandardError) {
    SyslogSystemLog log;
    ::testing::internal::CaptureStderr();
    log.log("defaults 1 exited with: Domain not found.\n");
    log.log("two\r\nparts");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Corvane: defaults 1 exited with: Domain not found. \nCorvane: two  parts\n");
}

} // namespace
} // namespace corvane::testing
