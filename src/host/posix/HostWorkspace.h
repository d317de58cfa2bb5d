#pragma once

#include "ports/Workspace.h"

#include <string>
#include <vector>

namespace corvane {

class FileSystem;

// Finds installed applications by name: the first bundle NAME.app directly inside one of the
// standard application folders, in their order.
class HostWorkspace : public Workspace {
public:
    explicit HostWorkspace(const FileSystem& fs);
    // For tests: search these folders instead.
    HostWorkspace(const FileSystem& fs, std::vector<std::string> folders);

    std::optional<std::string> fullPathForApplication(const std::string& name) const override;
    std::vector<std::string> installedApplications() const override;

    std::vector<std::string> applicationFolders() const;

private:
    const FileSystem& m_fs;
    std::vector<std::string> m_folders;
};

} // namespace corvane
