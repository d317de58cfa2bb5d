#include "DconfSession.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace corvane::testing {

namespace fs = std::filesystem;

std::string temporaryFolder(const std::string& name) {
    std::string pattern = (fs::temp_directory_path() / ("corvane-" + name + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    return pattern;
}

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

namespace {

bool acceptsConnections(const std::string& socketPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

} // namespace

PrivateSessionBus::PrivateSessionBus(const std::string& folder, bool withDconf) {
    const std::string socket = folder + "/bus";
    const std::string services = folder + "/services";
    fs::create_directories(services);
    if (withDconf) {
        fs::copy_file("/usr/share/dbus-1/services/ca.desrt.dconf.service",
                      services + "/ca.desrt.dconf.service");
    }
    const std::string config = folder + "/bus.conf";
    writeFile(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" +
                  socket + "</listen>\n  <servicedir>" + services +
                  "</servicedir>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                  "  </policy>\n</busconfig>\n");
    std::string configArgument = "--config-file=" + config;
    char program[] = "dbus-daemon";
    char noFork[] = "--nofork";
    char* argv[] = {program, configArgument.data(), noFork, nullptr};
    if (posix_spawnp(&m_pid, program, nullptr, nullptr, argv, environ) != 0) {
        m_pid = -1;
        return;
    }
    // Ready once it takes a connection: the socket file comes before the listening.
    for (int i = 0; i < 500 && !acceptsConnections(socket); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_address = "unix:path=" + socket;
}

PrivateSessionBus::~PrivateSessionBus() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

namespace {

class DconfSessionEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string& folder = dconfSessionFolder();
        const std::string runtime = folder + "/runtime";
        fs::create_directories(runtime);
        chmod(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        // A read-only database with a lock beside the user's, as an administrator sets one up.
        writeFile(folder + "/locks.d/00-defaults", "[corvane/locks]\nlocked=1\n\n"
                                                   "[corvane/elsewhere]\nlocked=2\n");
        writeFile(folder + "/locks.d/locks/00-locks",
                  "/corvane/locks/locked\n/corvane/elsewhere/locked\n");
        const std::string compile =
            "dconf compile '" + folder + "/locks.db' '" + folder + "/locks.d'";
        m_locksCompiled = std::system(compile.c_str()) == 0;
        writeFile(folder + "/profile", "user-db:user\nfile-db:" + folder + "/locks.db\n");
        setenv("DCONF_PROFILE", (folder + "/profile").c_str(), 1);
        m_bus = std::make_unique<PrivateSessionBus>(folder, true);
        setenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().c_str(), 1);
        ASSERT_TRUE(m_bus->started());
        ASSERT_TRUE(m_locksCompiled);
    }
    void TearDown() override {
        m_bus.reset();
        std::error_code ignored;
        fs::remove_all(dconfSessionFolder(), ignored);
    }

private:
    std::unique_ptr<PrivateSessionBus> m_bus;
    bool m_locksCompiled = false;
};

[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new DconfSessionEnvironment);

} // namespace

SilentSocket::SilentSocket(const std::string& path) : m_fd(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    m_listening = m_fd >= 0 &&
                  bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                  listen(m_fd, 4) == 0;
}

SilentSocket::~SilentSocket() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

const std::string& dconfSessionFolder() {
    static const std::string folder = temporaryFolder("dconf");
    return folder;
}

} // namespace corvane::testing
