#include "host/linux/GioApplicationBus.h"

#include "DconfSession.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Starts the test application with the id on the bus at `address`.
pid_t startApplication(const std::string& address, const std::string& id, const std::string& log) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string_view(*variable).rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0) {
            environment.emplace_back(*variable);
        }
    }
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + address);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::string program = CORVANE_QUIT_ACTION_APP;
    std::string idArgument = id;
    std::string logArgument = log;
    char* argv[] = {program.data(), idArgument.data(), logArgument.data(), nullptr};
    pid_t pid = -1;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::string contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

bool owned(const GioApplicationBus& bus, const std::string& name) {
    const Result<bool> answer = bus.nameHasOwner(name);
    return answer.ok() && *answer;
}

TEST(GioApplicationBus, TheQuitActionReachesARunningApplicationAndStartsNoneThatIsNotRunning) {
    const std::string folder = temporaryFolder("quit-bus");
    const std::string activatedLog = folder + "/activated.log";
    writeFile(folder + "/services/org.corvane.test.Activatable.service",
              std::string("[D-BUS Service]\nName=org.corvane.test.Activatable\nExec=") +
                  CORVANE_QUIT_ACTION_APP + " org.corvane.test.Activatable " + activatedLog + "\n");
    const PrivateSessionBus daemon(folder, false);
    ASSERT_TRUE(daemon.started());
    GioApplicationBus bus(daemon.address());

    const std::string log = folder + "/running.log";
    const pid_t running = startApplication(daemon.address(), "org.corvane.test.Running", log);
    ASSERT_GT(running, 0);
    ASSERT_TRUE(eventually([&] { return owned(bus, "org.corvane.test.Running"); }));
    // An action the application lacks is no success.
    EXPECT_FALSE(
        bus.activateAction("org.corvane.test.Running", "/org/corvane/test/Running", "frobnicate")
            .ok());
    const Status quit =
        bus.activateAction("org.corvane.test.Running", "/org/corvane/test/Running", "quit");
    EXPECT_TRUE(quit.ok()) << quit.error().reason;
    int status = -1;
    const bool ended = eventually([&] { return waitpid(running, &status, WNOHANG) == running; });
    if (!ended) {
        kill(running, SIGKILL);
        waitpid(running, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(contents(log), "started\nquit\n");

    // A name nobody owns is not asked, though the bus could start its program.
    const Result<bool> activatable = bus.nameHasOwner("org.corvane.test.Activatable");
    ASSERT_TRUE(activatable.ok()) << activatable.error().reason;
    EXPECT_FALSE(*activatable);
    EXPECT_FALSE(
        bus.activateAction("org.corvane.test.Activatable", "/org/corvane/test/Activatable", "quit")
            .ok());
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(fs::exists(activatedLog));
    // The bus does start it when asked to: the look above could have seen it.
    const std::string start = "dbus-send --bus='" + daemon.address() +
                              "' --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                              "org.freedesktop.DBus.StartServiceByName "
                              "string:org.corvane.test.Activatable uint32:0 >/dev/null";
    EXPECT_EQ(std::system(start.c_str()), 0);
    EXPECT_TRUE(eventually([&] { return owned(bus, "org.corvane.test.Activatable"); }));
    EXPECT_TRUE(
        bus.activateAction("org.corvane.test.Activatable", "/org/corvane/test/Activatable", "quit")
            .ok());
    EXPECT_TRUE(eventually([&] { return contents(activatedLog) == "started\nquit\n"; }));

    // Names that are no well-known bus names have no owner to ask.
    for (const char* name : {"vlc", ":1.5", "org..x", ""}) {
        const Result<bool> answer = bus.nameHasOwner(name);
        EXPECT_TRUE(answer.ok() && !*answer) << name;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
} // namespace corvane::testing
