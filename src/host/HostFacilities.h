#pragma once

#include "host/FileCookieStore.h"
#include "host/FreedesktopTrash.h"
#include "host/HostFileSystem.h"
#include "host/HostWorkspace.h"
#include "host/PlistBundleReader.h"
#include "host/PosixProcessLauncher.h"
#include "host/ProcRunningApplications.h"
#include "host/SyslogSystemLog.h"
#include "host/linux/XdgDesktopApplications.h"

#include <optional>

namespace corvane {

// The host's own facilities, the same for the window and the command line: made together and
// wired to one another, so they are not copied or moved.
struct HostFacilities {
    HostFacilities() = default;
    HostFacilities(const HostFacilities&) = delete;
    HostFacilities& operator=(const HostFacilities&) = delete;

    Trash* trashOrNone() { return trash ? &*trash : nullptr; }

    HostFileSystem fileSystem;
    HostWorkspace workspace{fileSystem};
    PlistBundleReader bundles;
    PosixProcessLauncher launcher;
    ProcRunningApplications running{bundles};
    FileCookieStore cookies{fileSystem};
    SyslogSystemLog log;
    std::optional<FreedesktopTrash> trash = FreedesktopTrash::locate();
    XdgDesktopApplications desktopApplications;
};

} // namespace corvane
