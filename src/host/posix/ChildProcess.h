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
    // Standard error kept; what the child writes beyond it is read and dropped.
    std::size_t maxErrorOutput = std::size_t{64} * 1024;
};

struct ChildResult {
    bool started = false;            // false: the executable could not be started
    int startError = 0;              // errno of the failed start
    bool timedOut = false;           // the timeout passed and the child was killed
    bool outputTruncated = false;    // the output bound was reached and the child was killed
    std::string output;              // everything read from its standard output
    std::string errorOutput;         // its standard error, up to maxErrorOutput bytes
    std::optional<int> exitStatus;   // exit code when it exited normally
    std::optional<int> endingSignal; // the signal that ended it otherwise
};

// Starts `path` with `arguments` through posix_spawn (no shell, no fork of this process),
// standard input on /dev/null, standard output and error on pipes; reads until every writer
// has closed standard output and the child has ended, then reaps the child.
ChildResult runChildProcess(const std::string& path, const std::vector<std::string>& arguments,
                            const ChildOptions& options = {});

} // namespace corvane
