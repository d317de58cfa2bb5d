#include "host/PosixProcessLauncher.h"
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

} // namespace
} // namespace corvane::testing
