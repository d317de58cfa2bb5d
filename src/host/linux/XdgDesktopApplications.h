#pragma once

#include "ports/DesktopApplications.h"

#include <optional>

namespace corvane {

// Desktop files read from the folders named to it, and settings schemas through GIO: those of
// the desktop's own schema source, or those compiled in the given folders (each holding a
// gschemas.compiled, most important first).
class XdgDesktopApplications final : public DesktopApplications {
public:
    XdgDesktopApplications() = default;
    explicit XdgDesktopApplications(std::vector<std::string> schemaDirectories)
        : m_schemaDirectories(std::move(schemaDirectories)) {}

    std::vector<DesktopFileText>
    desktopFiles(const std::vector<std::string>& applicationDirectories,
                 const DesktopFileWanted& wanted) const override;
    Result<std::vector<InstalledSchema>> installedSchemas() const override;

private:
    std::optional<std::vector<std::string>> m_schemaDirectories;
};

} // namespace corvane
