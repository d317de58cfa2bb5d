#include "core/linuxapps/ApplicationQuit.h"

#include "base/Paths.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/analysis/TargetPlan.h"
#include "core/linuxapps/DesktopEntry.h"
#include "core/linuxapps/KeyFile.h"
#include "core/linuxapps/RunningInstances.h"

namespace corvane {

std::optional<std::string> applicationObjectPath(std::string_view applicationId) {
    if (applicationId.empty() || applicationId.front() == '.' || applicationId.back() == '.') {
        return std::nullopt;
    }
    std::string path = "/";
    for (const char c : applicationId) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (c == '.') {
            if (path.back() == '/') {
                return std::nullopt; // "a..b" would make an empty element
            }
            path += '/';
        } else if (c == '-') {
            path += '_';
        } else if (plain) {
            path += c;
        } else {
            return std::nullopt;
        }
    }
    return path;
}

ApplicationInstances::ApplicationInstances(SessionProcesses& session, ApplicationBus* bus,
                                           std::string applicationId,
                                           std::optional<std::string> programFile,
                                           LinuxPackage package)
    : m_session(session), m_bus(bus), m_applicationId(std::move(applicationId)),
      m_programFile(std::move(programFile)), m_package(package) {}

Result<std::vector<pid_t>>
ApplicationInstances::withBundleIdentifier(const std::string& identifier) const {
    if (identifier != m_applicationId) {
        return std::vector<pid_t>{};
    }
    Result<RunningInstances> found =
        runningInstances(m_session, m_applicationId, m_programFile, m_package);
    if (!found) {
        return found.error();
    }
    if (found->includesThisProgram) {
        return Error{"Corvane itself runs inside " + m_applicationId +
                     " (it was started from it), so it cannot quit it"};
    }
    if (found->flatpakInstance && found->pids.empty()) {
        return Error{"Flatpak runs " + m_applicationId + " in a sandbox whose process is unknown"};
    }
    return std::move(found->pids);
}

bool ApplicationInstances::askOverBus() {
    const std::optional<std::string> path = applicationObjectPath(m_applicationId);
    if (!m_bus || !path) {
        return false;
    }
    if (m_package != LinuxPackage::Any) {
        const Result<RunningInstances> other = runningInstances(
            m_session, m_applicationId, std::nullopt,
            m_package == LinuxPackage::Flatpak ? LinuxPackage::Host : LinuxPackage::Flatpak);
        if (!other || other->running()) {
            return false;
        }
    }
    const Result<bool> owned = m_bus->nameHasOwner(m_applicationId);
    if (!owned || !*owned) {
        return false;
    }
    return m_bus->activateAction(m_applicationId, *path, "quit").ok();
}

void ApplicationInstances::terminate(pid_t pid) {
    if (!m_asked) {
        m_asked = true;
        m_quitOverBus = askOverBus();
    }
    // An application quitting on its own closes its other processes itself.
    if (!m_quitOverBus) {
        m_session.terminate(pid);
    }
}

std::optional<std::string> desktopFileProgramFile(const DesktopApplications& desktop,
                                                  const SessionProcesses& session,
                                                  const std::string& desktopFilePath) {
    const std::string name = lastPathComponent(desktopFilePath);
    for (const DesktopFileText& file : desktop.desktopFiles(
             {parentFolder(desktopFilePath)},
             [&name](std::string_view relativePath) { return relativePath == name; })) {
        if (file.relativePath != name) {
            continue;
        }
        // A hidden or broken entry starts nothing.
        if (!parseDesktopEntry(file.text)) {
            return std::nullopt;
        }
        const std::optional<std::string> exec =
            KeyFile::parse(file.text).value("Desktop Entry", "Exec");
        const std::optional<std::string> program = exec ? ownExecProgram(*exec) : std::nullopt;
        return program ? applicationProgramFile(session, *program) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<LinuxPackage> linuxPackageOfKinds(const std::vector<std::string>& kinds) {
    bool sandbox = false;
    bool base = false;
    for (const std::string& id : kinds) {
        const std::optional<EntryKind> kind = kindWithId(id);
        if (!kind || kindRow(*kind).family != TargetFamily::LinuxApplication) {
            continue;
        }
        sandbox = sandbox || kindOfPackage(*kind, LinuxPackage::Flatpak);
        base = base || kindOfPackage(*kind, LinuxPackage::Host);
    }
    if (sandbox == base) {
        return sandbox ? std::optional(LinuxPackage::Any) : std::nullopt;
    }
    return sandbox ? LinuxPackage::Flatpak : LinuxPackage::Host;
}

TargetInstances::TargetInstances(const Ports& ports, const std::string& identifier,
                                 std::optional<LinuxPackage> package,
                                 const std::string& desktopFilePath)
    // An identifier the policy refuses names no bundle whose instances could be asked to quit.
    : m_host(package || !isAcceptableBundleIdentifier(identifier) ? nullptr
                                                                  : &ports.runningApplications) {
    if (!package || !ports.sessionProcesses) {
        return;
    }
    std::optional<std::string> program;
    if (ports.desktopApplications && desktopFilePath.ends_with(".desktop")) {
        program = desktopFileProgramFile(*ports.desktopApplications, *ports.sessionProcesses,
                                         desktopFilePath);
    }
    m_linux.emplace(*ports.sessionProcesses, ports.applicationBus, identifier, std::move(program),
                    *package);
}

RunningApplications* TargetInstances::running() {
    return m_linux ? &*m_linux : m_host;
}

} // namespace corvane
