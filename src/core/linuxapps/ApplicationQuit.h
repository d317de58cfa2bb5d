#pragma once

#include "core/linuxapps/LinuxPackage.h"
#include "ports/ApplicationBus.h"
#include "ports/DesktopApplications.h"
#include "ports/Ports.h"
#include "ports/Processes.h"
#include "ports/SessionProcesses.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The object path at which GApplication exports an application's actions: "/" and the id, '.'
// as '/' and '-' as '_'. None for an id that makes no valid object path.
std::optional<std::string> applicationObjectPath(std::string_view applicationId);

// The running instances of one installed Linux application, quit as a running application is:
// found by their scopes, Flatpak instances and program file. The first request to quit goes to
// the application's own "quit" action on the session bus, only when its id is a bus name a
// process already owns (asking a name nobody owns could start a D-Bus-activated application);
// when there is none or the application does not take it, each process is sent SIGTERM.
class ApplicationInstances final : public RunningApplications {
public:
    // `bus`: none when the session has no bus to ask; `programFile`: see applicationProgramFile.
    // `package`: a Flatpak's instances, or a host package's, when both are installed; the bus is
    // asked only while the other one does not run, since both own the same name.
    ApplicationInstances(SessionProcesses& session, ApplicationBus* bus, std::string applicationId,
                         std::optional<std::string> programFile,
                         LinuxPackage package = LinuxPackage::Any);

    // The application's processes; another identifier has none. An error also when the running
    // instances could be neither asked to quit nor seen to end: a Flatpak instance whose process
    // is not known, or this program running inside the application (started from its terminal).
    Result<std::vector<pid_t>> withBundleIdentifier(const std::string& identifier) const override;
    void terminate(pid_t pid) override;

    // Whether the application took its quit action (false before the first request).
    bool quitOverBus() const { return m_quitOverBus; }

private:
    bool askOverBus();

    SessionProcesses& m_session;
    ApplicationBus* m_bus;
    std::string m_applicationId;
    std::optional<std::string> m_programFile;
    LinuxPackage m_package;
    bool m_asked = false;
    bool m_quitOverBus = false;
};

// The program file of the application the desktop file starts, read through `desktop` (see
// applicationProgramFile); none when the file or its Exec program does not tell one.
std::optional<std::string> desktopFileProgramFile(const DesktopApplications& desktop,
                                                  const SessionProcesses& session,
                                                  const std::string& desktopFilePath);

// The package of a Linux application whose folders a reset took, from the ids of its kinds; none
// when no kind is a Linux application's.
std::optional<LinuxPackage> linuxPackageOfKinds(const std::vector<std::string>& kinds);

// Where every face looks for a target's running instances before it changes anything: a Linux
// application's as ApplicationInstances finds them (with the program file of its desktop file
// when one is named), a bundle's among the host's running applications.
class TargetInstances {
public:
    // `package`: the Linux application's, none for a bundle.
    TargetInstances(const Ports& ports, const std::string& identifier,
                    std::optional<LinuxPackage> package, const std::string& desktopFilePath);
    TargetInstances(const TargetInstances&) = delete;
    TargetInstances& operator=(const TargetInstances&) = delete;

    // None: a Linux application on a host without a session to look in, or a bundle identifier
    // the identifier policy refuses.
    RunningApplications* running();

private:
    std::optional<ApplicationInstances> m_linux;
    RunningApplications* m_host; // none for a Linux application
};

} // namespace corvane
