#include "host/HostFacilities.h"
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

// The shared POSIX parts with the running applications from /proc and the freedesktop Trash.
class LinuxHostFacilities final : public HostFacilities {
public:
    FileSystem& fileSystem() override { return m_fileSystem; }
    Workspace& workspace() override { return m_workspace; }
    BundleReader& bundles() override { return m_bundles; }
    ProcessLauncher& launcher() override { return m_launcher; }
    RunningApplications& running() override { return m_running; }
    CookieStore& cookies() override { return m_cookies; }
    SystemLog& log() override { return m_log; }
    Trash* trashOrNone() override { return m_trash ? &*m_trash : nullptr; }
    void setLogEchoToStandardError(bool echo) override { m_log.setEchoToStandardError(echo); }
    DesktopApplications* desktopApplications() override { return &m_desktopApplications; }
    SessionProcesses* sessionProcesses() override { return &m_sessionProcesses; }
    ApplicationBus* applicationBus() override { return &m_applicationBus; }

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
    ProcSessionProcesses m_sessionProcesses;
    GioApplicationBus m_applicationBus;
};

} // namespace

std::unique_ptr<HostFacilities> makeHostFacilities() {
    return std::make_unique<LinuxHostFacilities>();
}

} // namespace corvane
