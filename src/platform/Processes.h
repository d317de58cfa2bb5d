#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
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

enum class Tool { Remove, Defaults, KillAll, Open };

// The absolute path of each system tool on this host.
std::string toolPath(Tool tool);

} // namespace corvane
