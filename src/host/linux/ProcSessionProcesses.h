#pragma once

#include "ports/SessionProcesses.h"

namespace corvane {

// Reads /proc, $XDG_RUNTIME_DIR/.flatpak and the user and system Flatpak installations
// (~/.local/share/flatpak and /var/lib/flatpak, or the roots given).
class ProcSessionProcesses final : public SessionProcesses {
public:
    ProcSessionProcesses();
    ProcSessionProcesses(std::string procRoot, std::string runtimeDir,
                         std::vector<std::string> flatpakInstallations);

    Result<std::vector<ProcessCgroup>> userProcessCgroups() const override;
    std::vector<FlatpakInstance> flatpakInstances() const override;
    std::vector<std::string> flatpakMetadata(const std::string& applicationId) const override;
    // PATH is this program's own.
    std::optional<ProgramFile> programFile(const std::string& program) const override;
    void terminate(pid_t pid) override;

private:
    std::string m_procRoot;
    std::string m_runtimeDir;
    std::vector<std::string> m_flatpakInstallations;
};

} // namespace corvane
