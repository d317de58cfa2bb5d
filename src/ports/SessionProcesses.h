#pragma once

#include "base/Result.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

// A process of this user and the text of its control-group membership (one "N:controllers:/path"
// line per hierarchy).
struct ProcessCgroup {
    pid_t pid = 0;
    std::string cgroupText;
};

// A running Flatpak instance: the text of its info file and its sandbox's process when known.
struct FlatpakInstance {
    std::string infoText;
    std::optional<pid_t> pid;
};

// What the session tells about applications that run, and about installed Flatpaks.
class SessionProcesses {
public:
    virtual ~SessionProcesses() = default;

    // Every process of this user with its control groups. An error when the process table cannot
    // be read: "none running" is never a guess.
    [[nodiscard]] virtual Result<std::vector<ProcessCgroup>> userProcessCgroups() const = 0;

    // The instances Flatpak keeps a folder for in the user's runtime folder.
    virtual std::vector<FlatpakInstance> flatpakInstances() const = 0;

    // The metadata texts of the application's current Flatpak installs, the user's first.
    virtual std::vector<std::string> flatpakMetadata(const std::string& applicationId) const = 0;
};

} // namespace corvane
