#include "host/posix/PosixProcessLauncher.h"
#include "support/DelegateFixture.h"

#include <chrono>
#include <filesystem>
#include <sys/stat.h>

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

class CommandRunner : public DelegateFixture {
protected:
    CommandRunner() { services.launcher = &launcher; }

    std::optional<std::string> shell(const std::string& script,
                                     std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(), {"-c", script, "sh"});
        return delegate().callNSTaskWithResult("/bin/sh", arguments);
    }

    PosixProcessLauncher launcher;
};

TEST_F(CommandRunner, ReturnsStandardOutputOnlyAndIgnoresTheExitStatus) {
    EXPECT_EQ(delegate().callNSTaskWithResult("/bin/true", {}), std::optional<std::string>(""));
    EXPECT_EQ(shell("echo only an error >&2"), std::optional<std::string>(""));
    EXPECT_EQ(shell("echo out; echo err >&2; exit 3"), std::optional<std::string>("out\n"));
    EXPECT_EQ(shell("printf 'caf\\303\\251'"), std::optional<std::string>("caf\xc3\xa9"));
}

TEST_F(CommandRunner, OutputThatIsNotUtf8GivesNone) {
    EXPECT_EQ(shell("printf 'ok\\377'"), std::nullopt);
    EXPECT_EQ(shell("printf '\\300\\200'"), std::nullopt); // an overlong encoding
}

TEST_F(CommandRunner, ArgumentsReachTheToolWholeAndUnexpanded) {
    EXPECT_EQ(
        shell("printf '%s|' \"$@\"", {"Saved Application State/a b", "~", "*", "$HOME", "'q'", ""}),
        std::optional<std::string>("Saved Application State/a b|~|*|$HOME|'q'||"));
}

TEST_F(CommandRunner, WaitsUntilEveryWriterHasClosedTheOutput) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<std::string> output = shell("(sleep 1; echo late) & echo early");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(output, std::optional<std::string>("early\nlate\n"));
}

TEST_F(CommandRunner, AToolThatCannotBeStartedGivesNone) {
    home.file("not-executable", "#!/bin/sh\necho hi\n");
    chmod((home.path() + "/not-executable").c_str(), 0644);
    home.folder("folder");
    home.file("relative-tool", "#!/bin/sh\necho hi\n");
    chmod((home.path() + "/relative-tool").c_str(), 0755);
    std::filesystem::current_path(home.path());

    EXPECT_EQ(delegate().callNSTaskWithResult("/usr/bin/corvane-no-such-tool", {}), std::nullopt);
    EXPECT_EQ(delegate().callNSTaskWithResult(home.path() + "/not-executable", {}), std::nullopt);
    EXPECT_EQ(delegate().callNSTaskWithResult(home.path() + "/folder", {}), std::nullopt);
    EXPECT_EQ(delegate().callNSTaskWithResult("relative-tool", {}), std::nullopt);
    EXPECT_EQ(delegate().callNSTaskWithResult("", {}), std::nullopt);
    std::filesystem::current_path("/");
}

// The reason a tool failed reaches the system log; its output is returned all the same.
TEST_F(CommandRunner, AToolThatFailsOrCannotStartIsLoggedWithItsReason) {
    struct Row {
        std::string launchPath;
        std::vector<std::string> arguments;
        std::optional<std::string> output;
        std::vector<std::string> logged;
    };
    const std::vector<Row> rows = {
        {"/bin/sh", {"-c", "echo out; echo warned >&2"}, "out\n", {}},
        {"/bin/sh",
         {"-c", "echo out; printf 'Domain (x) not found.\\r\\nmore\\n' >&2; exit 1"},
         "out\n",
         {"/bin/sh exited with status 1: Domain (x) not found."}},
        {"/bin/sh", {"-c", "exit 4"}, "", {"/bin/sh exited with status 4"}},
        {"/bin/sh", {"-c", "kill -KILL $$"}, "", {"/bin/sh exited with status 137"}},
        {"/bin/sh",
         {"-c", "printf 'ok\\377'; exit 2"},
         std::nullopt,
         {"/bin/sh exited with status 2",
          "/bin/sh wrote output that is not UTF-8; it was dropped"}},
        {"/usr/bin/corvane-no-such-tool",
         {},
         std::nullopt,
         {"could not start /usr/bin/corvane-no-such-tool: No such file or directory"}},
        {"relative-tool",
         {},
         std::nullopt,
         {"could not start \"relative-tool\": a tool is run by its absolute path only"}},
    };
    for (const Row& row : rows) {
        log.lines.clear();
        EXPECT_EQ(delegate().callNSTaskWithResult(row.launchPath, row.arguments), row.output)
            << row.launchPath;
        EXPECT_EQ(log.lines, row.logged) << row.launchPath;
    }

    log.lines.clear();
    const std::string complaint(1000, 'x');
    shell("echo " + complaint + " >&2; exit 1");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("/bin/sh exited with status 1: xxxxxxxxxx", 0), 0u);
    EXPECT_LT(log.lines[0].size(), complaint.size()); // a log line, not a page
}

} // namespace
} // namespace corvane::testing
