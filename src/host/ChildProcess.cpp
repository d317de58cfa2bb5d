#include "host/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// POSIX leaves the declaration to the program; glibc has one only with _GNU_SOURCE.
extern char** environ; // NOLINT(readability-redundant-declaration)

namespace corvane {

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) {
            close(read);
        }
        if (write >= 0) {
            close(write);
        }
    }
};

void reap(pid_t pid, ChildResult& result) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
}

} // namespace

ChildResult runChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                            const ChildOptions& options) {
    ChildResult result;
    if (path.empty() || access(path.c_str(), X_OK) != 0) {
        return result;
    }
    Pipe out;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return result;
    }
    out.read = fds[0];
    out.write = fds[1];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    // The tool starts with every signal at its default and none blocked, whatever this process
    // ignores or blocks (an ignored SIGTERM or SIGPIPE would otherwise carry over).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return result;
    }
    result.started = true;
    close(out.write);
    out.write = -1;

    const auto deadline = options.timeout
                              ? std::optional(std::chrono::steady_clock::now() + *options.timeout)
                              : std::nullopt;
    char buffer[65536];
    for (;;) {
        int waitMs = -1;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                result.timedOut = true;
                break;
            }
            waitMs = static_cast<int>(left.count());
        }
        pollfd readable{out.read, POLLIN, 0};
        const int ready = poll(&readable, 1, waitMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            continue; // the deadline check above ends the loop
        }
        const ssize_t got = read(out.read, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        result.output.append(buffer, static_cast<std::size_t>(got));
        if (options.maxOutput && result.output.size() > *options.maxOutput) {
            result.timedOut = true;
            break;
        }
    }
    if (result.timedOut) {
        kill(pid, SIGKILL);
    }
    reap(pid, result);
    return result;
}

} // namespace corvane
