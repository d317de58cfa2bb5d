#pragma once

#include "host/posix/HostFileSystem.h"
#include "ports/Ports.h"
#include "support/FixDoubles.h"
#include "support/PortDoubles.h"

namespace corvane::testing {

// Which double stands for each port. Every entry starts at an inert double of its own (the real
// file system, no application installed or running, no process started, an empty cookie store);
// a test points entries at its own doubles before it takes the bundle. The optional ones start
// as none.
class InertPorts {
public:
    InertPorts() = default;
    InertPorts(const InertPorts&) = delete;
    InertPorts& operator=(const InertPorts&) = delete;

    Ports ports() const {
        Ports ports{*fileSystem,          *workspace,   *bundles,  *launcher,
                    *runningApplications, *cookieStore, *systemLog};
        ports.trash = trash;
        ports.clock = clock;
        ports.desktopApplications = desktopApplications;
        ports.settingsDatabase = settingsDatabase;
        ports.sessionProcesses = sessionProcesses;
        ports.applicationBus = applicationBus;
        return ports;
    }

private:
    HostFileSystem m_fileSystem;
    MapWorkspace m_workspace;
    MapBundleReader m_bundles;
    NoProcessLauncher m_launcher;
    ScriptedRunningApplications m_running;
    RecordingCookieStore m_cookies;
    RecordingLog m_log;

public:
    FileSystem* fileSystem = &m_fileSystem;
    Workspace* workspace = &m_workspace;
    BundleReader* bundles = &m_bundles;
    ProcessLauncher* launcher = &m_launcher;
    RunningApplications* runningApplications = &m_running;
    CookieStore* cookieStore = &m_cookies;
    SystemLog* systemLog = &m_log;
    Trash* trash = nullptr;
    Clock* clock = nullptr;
    DesktopApplications* desktopApplications = nullptr;
    SettingsDatabase* settingsDatabase = nullptr;
    SessionProcesses* sessionProcesses = nullptr;
    ApplicationBus* applicationBus = nullptr;
};

} // namespace corvane::testing
