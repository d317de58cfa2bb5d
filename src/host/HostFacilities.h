#pragma once

#include "ports/ApplicationBus.h"
#include "ports/DesktopApplications.h"
#include "ports/FileSystem.h"
#include "ports/Processes.h"
#include "ports/Services.h"
#include "ports/SessionProcesses.h"
#include "ports/Trash.h"
#include "ports/Workspace.h"

#include <memory>

namespace corvane {

// The host's own facilities behind the ports, the same for the window and the command line:
// made together and wired to one another, so they are not copied or moved.
class HostFacilities {
public:
    HostFacilities() = default;
    HostFacilities(const HostFacilities&) = delete;
    HostFacilities& operator=(const HostFacilities&) = delete;
    virtual ~HostFacilities() = default;

    virtual FileSystem& fileSystem() = 0;
    virtual Workspace& workspace() = 0;
    virtual BundleReader& bundles() = 0;
    virtual ProcessLauncher& launcher() = 0;
    virtual RunningApplications& running() = 0;
    virtual CookieStore& cookies() = 0;
    virtual SystemLog& log() = 0;
    // None when this home has no Trash the program can move items into.
    virtual Trash* trashOrNone() = 0;
    // The command line says what went wrong in its own words, so its log stays in the system log.
    virtual void setLogEchoToStandardError(bool echo) = 0;
    // The installed desktop applications; none on a system without them.
    virtual DesktopApplications* desktopApplications() = 0;
    // The session's applications that run, and its bus to ask them to quit; none on a system
    // without them.
    virtual SessionProcesses* sessionProcesses() = 0;
    virtual ApplicationBus* applicationBus() = 0;
};

// The facilities of the system the program is built for; each system folder (linux/, macos/)
// defines it, and CMake builds the one that fits.
std::unique_ptr<HostFacilities> makeHostFacilities();

} // namespace corvane
