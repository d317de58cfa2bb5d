#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct ChildOptions {
    // Kill the child (SIGKILL) and stop reading once this has passed; none waits for ever.
    std::optional<std::chrono::milliseconds> timeout;
    // Stop reading (and kill the child) once this many bytes have arrived; none is unbounded.
    std::optional<std::size_t> maxOutput;
};

struct ChildResult {
    bool started = false;          // false: the executable could not be started
    bool timedOut = false;         // the timeout or the output bound was hit and the child killed
    std::string output;            // everything read from its standard output
    std::optional<int> exitStatus; // exit code when it exited normally
};

// Starts `path` with `arguments` through posix_spawn (no shell, no fork of this process),
// standard input and error on /dev/null, standard output on a pipe read until every writer
// has closed it; then reaps the child.
ChildResult runChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                            const ChildOptions& options = {});

} // namespace corvane
