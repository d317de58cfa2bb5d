#pragma once

#include "base/Result.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

enum class Tool { Remove, Defaults, KillAll, Open };

// The absolute path of each system tool as macOS has it; the host has the same paths, but for
// opening an address (ProcessLauncher::toolPath).
// Defined here so that the core and the host use it without either linking the other.
inline std::string systemToolPath(Tool tool) {
    switch (tool) {
    case Tool::Remove:
        return "/bin/rm";
    case Tool::Defaults:
        return "/usr/bin/defaults";
    case Tool::KillAll:
        return "/usr/bin/killall";
    case Tool::Open:
        return "/usr/bin/open";
    }
    return {};
}

// What a tool that ran left behind.
struct ProcessOutput {
    std::string standardOutput; // every byte it wrote there
    std::string standardError;  // the start of what it wrote there, up to 64 KiB
    int exitStatus = 0;         // its exit code, or 128 + N when signal N ended it
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // The tool to run for `tool` on this host.
    virtual std::string toolPath(Tool tool) const { return systemToolPath(tool); }
    // False when nothing that could run lies at the absolute path: the host lacks the tool. A
    // launcher that cannot tell answers true, and a failed start is reported by run().
    virtual bool isInstalled(const std::string& launchPath) const {
        (void)launchPath;
        return true;
    }
    // Runs the executable with the arguments (no shell) until its standard output is closed and
    // it has ended. The error says why when it could not be started ("could not start
    // /usr/bin/defaults: No such file or directory").
    [[nodiscard]] virtual Result<ProcessOutput> run(const std::string& launchPath,
                                                    const std::vector<std::string>& arguments) = 0;
};

class RunningApplications {
public:
    virtual ~RunningApplications() = default;
    // Processes of this user that run an application with the bundle identifier.
    // An error when it cannot be told (the process table cannot be read): "none running" is
    // never a guess.
    [[nodiscard]] virtual Result<std::vector<pid_t>>
    withBundleIdentifier(const std::string& identifier) const = 0;
    // Asks the process to quit; returns at once.
    virtual void terminate(pid_t pid) = 0;
};

} // namespace corvane
