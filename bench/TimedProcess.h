#pragma once

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane::bench {

// One run of a program as a process of its own, timed from before it is started until it has
// been waited for.
class TimedProcess {
public:
    // Runs `argv` with the environment plus `environment` ("NAME=value" entries that replace
    // those of the same name). Standard output is kept when `keepOutput`, else discarded;
    // standard error is passed through. A `workingFolder` that is not empty is the process's
    // current folder. With a `timeoutSeconds` above 0 (and output not kept) the process is
    // killed once it has run that long.
    static TimedProcess run(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment = {},
                            bool keepOutput = false, const std::string& workingFolder = {},
                            double timeoutSeconds = 0);

    double seconds = 0;
    bool timedOut = false; // killed at the time limit
    double peakMiB = 0;    // the process's peak resident set size
    int exitCode = -1;     // -1 when it did not exit normally
    std::string output;
};

// A window program started with descriptor 3 open for its first-paint record (the file named by
// CORVANE_FIRST_PAINT_LOG, /dev/fd/3 here) and killed once the record came in.
struct FirstPaint {
    // Runs `argv` as TimedProcess::run does, with output and errors discarded, and waits at most
    // `timeoutSeconds` for the record.
    static FirstPaint run(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment, double timeoutSeconds);

    bool recorded = false;
    double seconds = 0;     // from just before the start to the first paint
    double residentMiB = 0; // the resident set size at the first paint
};

// A helper program (a display server, a message bus) that says on descriptor 3 where it can be
// reached, and runs until this object is gone.
class HelperProcess {
public:
    // Starts `argv` with the environment plus `environment` and waits at most `timeoutSeconds`
    // for its first line on descriptor 3; none when it did not start or say so in time.
    static std::unique_ptr<HelperProcess> start(const std::vector<std::string>& argv,
                                                double timeoutSeconds,
                                                const std::vector<std::string>& environment = {});
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    const std::string& line() const { return m_line; }

private:
    HelperProcess(pid_t pid, std::string line) : m_pid(pid), m_line(std::move(line)) {}
    pid_t m_pid;
    std::string m_line;
};

} // namespace corvane::bench
