#include "support/StandInApp.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace corvane::testing {

namespace fs = std::filesystem;

StandInBundle::StandInBundle(const std::string& folder, const std::string& name,
                             const std::string& identifier) {
    m_bundle = folder + "/" + name + ".app";
    const fs::path macos = fs::path(m_bundle) / "Contents" / "MacOS";
    fs::create_directories(macos);
    m_executable = (macos / name).string();
    fs::copy_file(CORVANE_STANDIN_PATH, m_executable, fs::copy_options::overwrite_existing);
    fs::permissions(m_executable, fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    std::ofstream(fs::path(m_bundle) / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>\n"
           "<key>CFBundleIdentifier</key><string>"
        << identifier
        << "</string>\n"
           "<key>CFBundleExecutable</key><string>"
        << name << "</string>\n</dict></plist>\n";
}

StandInProcess::StandInProcess(const std::string& executable, bool ignoresQuitRequest) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string flag = "--ignore-term";
    std::string program = executable;
    char* argv[] = {program.data(), ignoresQuitRequest ? flag.data() : nullptr, nullptr};
    const int spawned = posix_spawn(&m_pid, executable.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        throw std::runtime_error("cannot start the stand-in");
    }
    // Ready means its answer to SIGTERM is in place.
    pollfd ready{fds[0], POLLIN, 0};
    char byte = 0;
    const bool ok = poll(&ready, 1, 5000) == 1 && read(fds[0], &byte, 1) == 1 && byte == 'R';
    close(fds[0]);
    if (!ok) {
        throw std::runtime_error("the stand-in did not get ready");
    }
}

StandInProcess::~StandInProcess() {
    if (!m_ended && m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool StandInProcess::hasEnded() {
    if (!m_ended && waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_ended = true;
    }
    return m_ended;
}

bool StandInProcess::waitForEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!hasEnded() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return hasEnded();
}

} // namespace corvane::testing
