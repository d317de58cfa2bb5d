#include "host/HostFacilities.h"
#include "host/linux/DconfSettingsDatabase.h"
#include "host/linux/FreedesktopTrash.h"
#include "host/linux/GioApplicationBus.h"
#include "host/linux/ProcRunningApplications.h"
#include "host/linux/ProcSessionProcesses.h"
#include "host/linux/XdgDesktopApplications.h"
#include "host/posix/FileCookieStore.h"
#include "host/posix/HostFileSystem.h"
#include "host/posix/HostWorkspace.h"
#include "host/posix/PlistBundleReader.h"
#include "host/posix/PosixProcessLauncher.h"
#include "host/posix/SyslogSystemLog.h"

#include <optional>

namespace corvane {

namespace {

// The shared POSIX parts with the running applications from /proc, the freedesktop Trash and the
// settings database through dconf.
class LinuxHostFacilities final : public HostFacilities {
public:
    Ports ports() override {
        Ports ports{m_fileSystem, m_workspace, m_bundles, m_launcher, m_running, m_cookies, m_log};
        ports.trash = m_trash ? &*m_trash : nullptr;
        ports.desktopApplications = &m_desktopApplications;
        ports.settingsDatabase = &m_settingsDatabase;
        ports.sessionProcesses = &m_sessionProcesses;
        ports.applicationBus = &m_applicationBus;
        return ports;
    }
    void setLogEchoToStandardError(bool echo) override { m_log.setEchoToStandardError(echo); }

private:
    HostFileSystem m_fileSystem;
    HostWorkspace m_workspace{m_fileSystem};
    PlistBundleReader m_bundles;
    PosixProcessLauncher m_launcher;
    ProcRunningApplications m_running{m_bundles};
    FileCookieStore m_cookies{m_fileSystem};
    SyslogSystemLog m_log;
    std::optional<FreedesktopTrash> m_trash = FreedesktopTrash::locate();
    XdgDesktopApplications m_desktopApplications;
    // Reaches the session bus only at its first call, so a start without one is not held up.
    DconfSettingsDatabase m_settingsDatabase;
    ProcSessionProcesses m_sessionProcesses;
    GioApplicationBus m_applicationBus;
};

} // namespace

std::unique_ptr<HostFacilities> makeHostFacilities() {
    return std::make_unique<LinuxHostFacilities>();
}

} // namespace corvane
