#include "host/posix/ChildProcess.h"

#include <algorithm>
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

using namespace std::chrono_literals;

// While standard output is closed but standard error is not, the child's end is looked for this
// often: a process it left behind may hold standard error open for ever.
constexpr auto kReapSlice = 20ms;

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    bool open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead() {
        if (read >= 0) {
            close(read);
            read = -1;
        }
    }
    void closeWrite() {
        if (write >= 0) {
            close(write);
            write = -1;
        }
    }
};

// Waits for the child to end (or only looks, with WNOHANG); true once it is reaped. The status
// stays unknown when the child was reaped elsewhere (SIGCHLD ignored).
bool reap(pid_t pid, int flags, std::optional<int>& status) {
    for (;;) {
        int raw = 0;
        const pid_t got = waitpid(pid, &raw, flags);
        if (got == pid) {
            status = raw;
            return true;
        }
        if (got == 0) {
            return false;
        }
        if (errno != EINTR) {
            return true;
        }
    }
}

void keepErrorOutput(ChildResult& result, const char* bytes, std::size_t size, std::size_t bound) {
    const std::size_t room =
        bound > result.errorOutput.size() ? bound - result.errorOutput.size() : 0;
    result.errorOutput.append(bytes, std::min(size, room));
}

// Reads what standard error holds now, without waiting for more.
void drainErrorOutput(Pipe& err, ChildResult& result, std::size_t bound, char* buffer,
                      std::size_t size) {
    while (result.errorOutput.size() < bound) {
        pollfd readable{err.read, POLLIN, 0};
        if (poll(&readable, 1, 0) <= 0) {
            return;
        }
        const ssize_t got = read(err.read, buffer, size);
        if (got <= 0) {
            return;
        }
        keepErrorOutput(result, buffer, static_cast<std::size_t>(got), bound);
    }
}

// Starts the tool with its standard output and error on the pipes and its input on /dev/null;
// 0 when it could not be started (`startError` says why).
pid_t spawnChild(const std::string& path, const std::vector<std::string>& arguments,
                 const Pipe& out, const Pipe& err, int& startError) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);

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
        startError = spawned;
        return 0;
    }
    return pid;
}

// Reads both streams until the tool closes them (or has ended with standard output closed), or
// a bound is hit; `reaped` says whether the tool's end was collected on the way.
void readUntilEnd(pid_t pid, Pipe& out, Pipe& err, const ChildOptions& options, ChildResult& result,
                  bool& reaped, std::optional<int>& status) {
    const auto deadline = options.timeout
                              ? std::optional(std::chrono::steady_clock::now() + *options.timeout)
                              : std::nullopt;
    char buffer[65536];
    while (out.read >= 0 || err.read >= 0) {
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
        if (out.read < 0) {
            reaped = reap(pid, WNOHANG, status);
            if (reaped) {
                drainErrorOutput(err, result, options.maxErrorOutput, buffer, sizeof buffer);
                break;
            }
            const int slice = static_cast<int>(kReapSlice.count());
            waitMs = waitMs < 0 ? slice : std::min(waitMs, slice);
        }
        pollfd streams[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
        const int ready = poll(streams, 2, waitMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            break;
        }
        if (streams[0].revents != 0) {
            const ssize_t got = read(out.read, buffer, sizeof buffer);
            if (got > 0) {
                result.output.append(buffer, static_cast<std::size_t>(got));
                if (options.maxOutput && result.output.size() > *options.maxOutput) {
                    result.outputTruncated = true;
                    break;
                }
            } else if (got == 0 || errno != EINTR) {
                out.closeRead();
            }
        }
        if (streams[1].revents != 0) {
            const ssize_t got = read(err.read, buffer, sizeof buffer);
            if (got > 0) {
                keepErrorOutput(result, buffer, static_cast<std::size_t>(got),
                                options.maxErrorOutput);
            } else if (got == 0 || errno != EINTR) {
                err.closeRead();
            }
        }
    }
}

} // namespace

ChildResult runChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                            const ChildOptions& options) {
    ChildResult result;
    if (path.empty()) {
        result.startError = ENOENT;
        return result;
    }
    if (access(path.c_str(), X_OK) != 0) {
        result.startError = errno;
        return result;
    }
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open()) {
        result.startError = errno;
        return result;
    }

    const pid_t pid = spawnChild(path, arguments, out, err, result.startError);
    if (pid <= 0) {
        return result;
    }
    result.started = true;
    out.closeWrite();
    err.closeWrite();

    bool reaped = false;
    std::optional<int> status;
    readUntilEnd(pid, out, err, options, result, reaped, status);
    if (!reaped) {
        if (result.timedOut || result.outputTruncated) {
            kill(pid, SIGKILL);
        }
        reap(pid, 0, status);
    }
    if (status && WIFEXITED(*status)) {
        result.exitStatus = WEXITSTATUS(*status);
    } else if (status && WIFSIGNALED(*status)) {
        result.endingSignal = WTERMSIG(*status);
    }
    return result;
}

} // namespace corvane
