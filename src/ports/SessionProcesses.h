#pragma once

#include "base/Result.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

// A process of this user, the text of its control-group membership (one "N:controllers:/path"
// line per hierarchy) and the program file it runs (empty when it cannot be read).
struct ProcessCgroup {
    pid_t pid = 0;
    std::string cgroupText;
    std::string executable;
    bool thisProgram = false; // the process that asks
};

// The file a program name leads to, every symbolic link resolved, and whether that file is a
// script (it starts with "#!").
struct ProgramFile {
    std::string path;
    bool script = false;
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

    // The instances Flatpak keeps a folder for in the user's runtime folder whose sandbox still
    // runs (Flatpak leaves the folder of one that ended until it next clears them).
    virtual std::vector<FlatpakInstance> flatpakInstances() const = 0;

    // The metadata texts of the application's current Flatpak installs, the user's first.
    virtual std::vector<std::string> flatpakMetadata(const std::string& applicationId) const = 0;

    // The file a desktop file's Exec program starts: a name without '/' is looked up along PATH.
    // None when no such file is found.
    virtual std::optional<ProgramFile> programFile(const std::string& program) const = 0;

    // Asks the process to end (SIGTERM); returns at once. Never this program itself.
    virtual void terminate(pid_t pid) = 0;
};

} // namespace corvane
