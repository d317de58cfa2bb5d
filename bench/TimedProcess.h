#pragma once

#include <string>
#include <vector>

namespace corvane::bench {

// One run of a program as a process of its own, timed from before it is started until it has
// been waited for.
class TimedProcess {
public:
    // Runs `argv` with the environment plus `environment` ("NAME=value" entries that replace
    // those of the same name). Standard output is kept when `keepOutput`, else discarded;
    // standard error is passed through.
    static TimedProcess run(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment = {},
                            bool keepOutput = false);

    double seconds = 0;
    double peakMiB = 0; // the process's peak resident set size
    int exitCode = -1;  // -1 when it did not exit normally
    std::string output;
};

} // namespace corvane::bench
