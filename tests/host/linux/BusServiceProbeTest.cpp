#include "host/linux/BusServiceProbe.h"

#include "DconfSession.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// Every character of the path percent-escaped, as an address may spell it.
std::string escaped(const std::string& path) {
    std::string out;
    for (const char c : path) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02x", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

// The answer is ServiceRuns only when the bus said so: every other address, a bus without the
// service and a bus that says nothing are left for GIO to explain.
TEST(BusServiceProbe, SaysTheServiceRunsOnlyWhenTheBusSaidSo) {
    const std::string session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string socketPath = session.substr(10, session.find(',') - 10);
    ASSERT_EQ(session.rfind("unix:path=", 0), 0u) << session;

    const std::string folder = temporaryFolder("probe");
    const PrivateSessionBus empty(folder, false);
    ASSERT_TRUE(empty.started());
    const std::string silentPath = folder + "/silent";
    const SilentSocket silent(silentPath);
    ASSERT_TRUE(silent.listening());

    const struct {
        std::string address;
        const char* name;
        BusProbe expected;
    } cases[] = {
        {session, "ca.desrt.dconf", BusProbe::ServiceRuns},
        {"unix:guid=0123,path=" + escaped(socketPath), "ca.desrt.dconf", BusProbe::ServiceRuns},
        {session, "org.example.NoSuchService", BusProbe::Unknown},
        {empty.address(), "ca.desrt.dconf", BusProbe::Unknown},
        {"unix:path=" + silentPath, "ca.desrt.dconf", BusProbe::TimedOut},
        {"unix:path=" + folder + "/nothing-here", "ca.desrt.dconf", BusProbe::Unknown},
        {"unix:abstract=corvane-no-such-bus", "ca.desrt.dconf", BusProbe::Unknown},
        {"unix:path=" + folder + "/bad%zz", "ca.desrt.dconf", BusProbe::Unknown},
        {"tcp:host=127.0.0.1,port=1;" + session, "ca.desrt.dconf", BusProbe::Unknown},
        {"", "ca.desrt.dconf", BusProbe::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(startServiceOverSocket(c.address, c.name, std::chrono::milliseconds(300)),
                  c.expected)
            << c.address << " " << c.name;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace
} // namespace corvane::testing
