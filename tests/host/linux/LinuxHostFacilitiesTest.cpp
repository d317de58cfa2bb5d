#include "DconfSession.h"
#include "host/HostFacilities.h"
#include "ports/SessionProcesses.h"
#include "ports/SettingsDatabase.h"
#include "support/TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace corvane::testing {
namespace {

// Sets an environment variable (or unsets it, for none) for the life of the object.
class Environment {
public:
    Environment(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* previous = std::getenv(name)) {
            m_previous = previous;
        }
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~Environment() {
        if (m_previous) {
            setenv(m_name, m_previous->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

// The Linux host hands every face the same facilities, each optional one where the home allows
// it. Without a session bus it still starts: its settings database reaches for the bus only when
// first used, and then says why it cannot.
TEST(LinuxHostFacilities, EveryPortIsWiredAndNoSessionBusHoldsUpTheStart) {
    const TempHome home;
    const std::string folder = temporaryFolder("nobus");
    const Environment noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder + "/nothing-here");
    const struct {
        const char* what;
        std::optional<std::string> home;
        std::optional<std::string> dataHome;
        bool trash;
    } rows[] = {
        {"a home", home.path(), home.path() + "/.local/share", true},
        {"a home without XDG_DATA_HOME", home.path(), std::nullopt, true},
        {"no usable home", std::string("relative"), std::nullopt, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Environment homeSet("HOME", row.home);
        const Environment dataHomeSet("XDG_DATA_HOME", row.dataHome);
        const std::unique_ptr<HostFacilities> host = makeHostFacilities();
        const Ports ports = host->ports();
        const Ports again = host->ports();
        EXPECT_EQ(&ports.fileSystem, &again.fileSystem);
        EXPECT_EQ(&ports.launcher, &again.launcher);
        EXPECT_EQ(ports.trash != nullptr, row.trash);
        EXPECT_EQ(ports.clock, nullptr);
        EXPECT_NE(ports.desktopApplications, nullptr);
        ASSERT_NE(ports.sessionProcesses, nullptr);
        EXPECT_TRUE(ports.sessionProcesses->userProcessCgroups().ok());
        ASSERT_NE(ports.settingsDatabase, nullptr);
        const Result<SettingsValues> dumped = ports.settingsDatabase->dump({"/corvane/none/", {}});
        ASSERT_FALSE(dumped.ok());
        EXPECT_FALSE(dumped.error().reason.empty());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace
} // namespace corvane::testing
