#include "host/posix/ChildProcess.h"

#include "host/posix/PosixProcessLauncher.h"
#include "host/posix/SyslogSystemLog.h"
#include "support/TempHome.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <variant>

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
    EXPECT_EQ(term.endingSignal, SIGTERM);
    EXPECT_EQ(usr1.output, "");
}

TEST(ChildProcess, ReportsTheExitStatusAndStopsAtItsBounds) {
    EXPECT_EQ(shell("exit 7").exitStatus, std::optional<int>(7));

    const auto start = std::chrono::steady_clock::now();
    const ChildResult slow = shell("echo begun; sleep 5", {200ms, std::nullopt});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_FALSE(slow.outputTruncated);
    EXPECT_EQ(slow.output, "begun\n");

    const ChildResult endless = runChildProcess("/usr/bin/yes", {}, {std::nullopt, 100000});
    EXPECT_TRUE(endless.outputTruncated);
    EXPECT_FALSE(endless.timedOut);
    EXPECT_GT(endless.output.size(), 100000u);
}

// A process the tool leaves behind may keep standard error open; the tool's end is what counts.
TEST(ChildProcess, AProcessLeftHoldingStandardErrorDoesNotHoldTheCaller) {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult child = shell("echo early >&2; sleep 5 >/dev/null & echo done");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(child.output, "done\n");
    EXPECT_EQ(child.errorOutput, "early\n");
    EXPECT_EQ(child.exitStatus, std::optional<int>(0));
}

TEST(ProcessLauncher, GivesTheExitStatusAndStandardErrorOrWhyTheToolDidNotStart) {
    TempHome home;
    home.file("not-executable", "#!/bin/sh\necho hi\n");
    chmod((home.path() + "/not-executable").c_str(), 0644);
    home.folder("folder");
    const std::string noPermission = ": " + std::string(std::strerror(EACCES));

    struct Row {
        std::string launchPath;
        std::vector<std::string> arguments;
        std::variant<ProcessOutput, std::string> expected; // what it left, or the reason
    };
    const std::vector<Row> rows = {
        {"/bin/true", {}, ProcessOutput{"", "", 0}},
        {"/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}, ProcessOutput{"out\n", "err\n", 3}},
        {"/bin/sh", {"-c", "printf 'a\\nb' >&2"}, ProcessOutput{"", "a\nb", 0}},
        {"/bin/sh", {"-c", "echo partial; kill -KILL $$"}, ProcessOutput{"partial\n", "", 137}},
        // More than a pipe holds on both streams, standard error first: neither may wait on
        // the other, and standard error keeps its first 64 KiB.
        {"/bin/sh",
         {"-c", "head -c 200000 /dev/zero >&2; head -c 100000 /dev/zero"},
         ProcessOutput{std::string(100000, '\0'), std::string(65536, '\0'), 0}},
        {"/usr/bin/corvane-no-such-tool",
         {},
         "could not start /usr/bin/corvane-no-such-tool: No such file or directory"},
        {home.path() + "/not-executable",
         {},
         "could not start " + home.path() + "/not-executable" + noPermission},
        {home.path() + "/folder", {}, "could not start " + home.path() + "/folder" + noPermission},
    };
    PosixProcessLauncher launcher;
    for (const Row& row : rows) {
        const std::string label =
            row.launchPath + " " + (row.arguments.empty() ? "" : row.arguments.back());
        const Result<ProcessOutput> ran = launcher.run(row.launchPath, row.arguments);
        if (const auto* reason = std::get_if<std::string>(&row.expected)) {
            ASSERT_FALSE(ran) << label;
            EXPECT_EQ(ran.error().reason, *reason);
            EXPECT_NE(ran.error().code, 0) << label;
            continue;
        }
        const auto& expected = std::get<ProcessOutput>(row.expected);
        ASSERT_TRUE(ran) << label << ": " << ran.error().reason;
        EXPECT_EQ(ran->standardOutput, expected.standardOutput) << label;
        EXPECT_EQ(ran->standardError, expected.standardError) << label;
        EXPECT_EQ(ran->exitStatus, expected.exitStatus) << label;
    }
}

TEST(SystemLog, WritesOneLinePerMessageToStandardError) {
    SyslogSystemLog log;
    ::testing::internal::CaptureStderr();
    log.log("defaults 1 exited with: Domain not found.\n");
    log.log("two\r\nparts");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "corvane: defaults 1 exited with: Domain not found. \ncorvane: two  parts\n");
}

} // namespace
} // namespace corvane::testing
