#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

enum class Tool { Remove, Defaults, KillAll, Open };

// The absolute path of each system tool as macOS has it; the host has the same paths, but for
// opening an address (ProcessLauncher::toolPath).
std::string systemToolPath(Tool tool);

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // The tool to run for `tool` on this host.
    virtual std::string toolPath(Tool tool) const { return systemToolPath(tool); }
    // Runs the executable with the arguments (no shell) and returns every byte it wrote to its
    // standard output once the output is closed; none when it could not be started.
    virtual std::optional<std::string> run(const std::string& launchPath,
                                           const std::vector<std::string>& arguments) = 0;
};

class RunningApplications {
public:
    virtual ~RunningApplications() = default;
    // Processes of this user that run an application with the bundle identifier.
    virtual std::vector<pid_t> withBundleIdentifier(const std::string& identifier) const = 0;
    // Asks the process to quit; returns at once.
    virtual void terminate(pid_t pid) = 0;
};

} // namespace corvane
