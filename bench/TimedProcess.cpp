#include "TimedProcess.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane::bench {

TimedProcess TimedProcess::run(const std::vector<std::string>& argv,
                               const std::vector<std::string>& environment, bool keepOutput) {
    std::vector<std::string> envText;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& extra : environment) {
            const std::size_t eq = extra.find('=');
            replaced = replaced || text.compare(0, eq + 1, extra, 0, eq + 1) == 0;
        }
        if (!replaced) {
            envText.push_back(text);
        }
    }
    envText.insert(envText.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& text : envText) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& arg : args) {
        argp.push_back(arg.data());
    }
    argp.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (keepOutput) {
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }

    TimedProcess result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (keepOutput) {
        close(pipeFds[1]);
    }
    if (spawned != 0) {
        if (keepOutput) {
            close(pipeFds[0]);
        }
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
    }
    if (keepOutput) {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
            if (got > 0) {
                result.output.append(buffer, static_cast<std::size_t>(got));
            }
        }
        close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace corvane::bench
