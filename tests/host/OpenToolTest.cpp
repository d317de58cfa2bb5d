#include "host/posix/PosixProcessLauncher.h"
#include "ports/Processes.h"
#include "support/TempHome.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace corvane::testing {
namespace {

// A stand-in for the desktop's opener that records its argument and then, like a browser run
// in the foreground, lives on with whatever output it was given.
class FakeOpener {
public:
    explicit FakeOpener(const TempHome& home) : m_marker(home.path() + "/opened") {
        const std::string bin = home.path() + "/bin";
        std::filesystem::create_directories(bin);
        std::ofstream(bin + "/xdg-open")
            << "#!/bin/sh\nprintf '%s' \"$1\" > '" << m_marker << "'\nexec sleep 5\n";
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        if (const char* path = std::getenv("PATH")) {
            m_previousPath = path;
        }
        setenv("PATH", (bin + ":" + m_previousPath).c_str(), 1);
    }
    ~FakeOpener() { setenv("PATH", m_previousPath.c_str(), 1); }

    std::string opened() const {
        std::ifstream in(m_marker);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_marker;
    std::string m_previousPath;
};

TEST(OpenTool, HandsTheUrlOverAndReturnsWhileTheBrowserRuns) {
    const std::string tool = PosixProcessLauncher().toolPath(Tool::Open);
    ASSERT_EQ(std::filesystem::path(tool).filename(), "corvane-open") << tool;

    TempHome home;
    FakeOpener opener(home);
    const auto start = std::chrono::steady_clock::now();
    const auto output = PosixProcessLauncher().run(tool, {"http://example.org/a page?x=1&y=2"});
    const auto took = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(output) << output.error().reason;
    EXPECT_EQ(output->standardOutput, "");
    EXPECT_LT(took, std::chrono::seconds(2)); // the opener itself sleeps for 5
    for (int i = 0; i < 100 && opener.opened().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(opener.opened(), "http://example.org/a page?x=1&y=2");
}

} // namespace
} // namespace corvane::testing
