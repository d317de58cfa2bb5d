#include "TimedProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane::bench {

namespace {

// This process's environment with `environment` ("NAME=value" entries) put in.
std::vector<std::string> environmentWith(const std::vector<std::string>& environment) {
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
    return envText;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `argv` with descriptor 3 the write end of a pipe, standard output and error discarded;
// returns the read end, or -1 when the program did not start.
int startReporting(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, pid_t& pid) {
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Descriptor 3 is made by dup2, which leaves it open across exec; a pipe end already at 3
    // would stay close-on-exec.
    for (int& fd : fds) {
        if (fd <= 3) {
            const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
            close(fd);
            fd = moved;
        }
    }
    std::vector<std::string> envText = environmentWith(environment);
    std::vector<char*> envp = pointersTo(envText);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = pointersTo(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return -1;
    }
    return fds[0];
}

// The first line read from `fd` within the timeout; empty when none came whole.
std::string firstLine(int fd, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return {};
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

void endProcess(pid_t pid, int signal) {
    kill(pid, signal);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

TimedProcess TimedProcess::run(const std::vector<std::string>& argv,
                               const std::vector<std::string>& environment, bool keepOutput,
                               const std::string& workingFolder, double timeoutSeconds) {
    std::vector<std::string> envText = environmentWith(environment);
    std::vector<char*> envp = pointersTo(envText);
    std::vector<std::string> args = argv;
    std::vector<char*> argp = pointersTo(args);

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    }
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
    if (timeoutSeconds > 0 && !keepOutput) {
        // A descriptor that becomes readable when the process ends: waiting on it with a time
        // limit adds nothing to a run that ends in time.
        const int exited = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        pollfd wait{exited, POLLIN, 0};
        if (exited >= 0 && poll(&wait, 1, static_cast<int>(timeoutSeconds * 1000)) == 0) {
            kill(pid, SIGKILL);
            result.timedOut = true;
        }
        if (exited >= 0) {
            close(exited);
        }
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

FirstPaint FirstPaint::run(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment, double timeoutSeconds) {
    std::vector<std::string> env = environment;
    env.emplace_back("CORVANE_FIRST_PAINT_LOG=/dev/fd/3");
    FirstPaint result;
    timespec start{};
    pid_t pid = 0;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int fd = startReporting(argv, env, pid);
    if (fd < 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    const std::string line = firstLine(fd, timeoutSeconds);
    close(fd);
    endProcess(pid, SIGKILL);
    unsigned long long paintedAt = 0;
    unsigned long long residentBytes = 0;
    if (std::sscanf(line.c_str(), "first-paint %llu %llu", &paintedAt, &residentBytes) == 2) {
        const long long startedAt =
            static_cast<long long>(start.tv_sec) * 1000000000LL + start.tv_nsec;
        result.recorded = true;
        result.seconds = static_cast<double>(static_cast<long long>(paintedAt) - startedAt) / 1e9;
        result.residentMiB = static_cast<double>(residentBytes) / (1024.0 * 1024.0);
    }
    return result;
}

std::unique_ptr<HelperProcess> HelperProcess::start(const std::vector<std::string>& argv,
                                                    double timeoutSeconds,
                                                    const std::vector<std::string>& environment) {
    pid_t pid = 0;
    const int fd = startReporting(argv, environment, pid);
    if (fd < 0) {
        return nullptr;
    }
    std::string line = firstLine(fd, timeoutSeconds);
    close(fd);
    if (line.empty()) {
        endProcess(pid, SIGKILL);
        return nullptr;
    }
    return std::unique_ptr<HelperProcess>(new HelperProcess(pid, std::move(line)));
}

HelperProcess::~HelperProcess() {
    endProcess(m_pid, SIGTERM);
}

} // namespace corvane::bench
