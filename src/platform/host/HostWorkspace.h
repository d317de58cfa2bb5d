#pragma once

#include "platform/Workspace.h"

#include <string>
#include <vector>

namespace corvane {

class FileSystem;

// Finds installed applications in the standard application folders, first match wins.
class HostWorkspace : public Workspace {
public:
    explicit HostWorkspace(const FileSystem& fs);
    // For tests: search these folders instead.
    HostWorkspace(const FileSystem& fs, std::vector<std::string> folders);

    std::optional<std::string> fullPathForApplication(const std::string& name) const override;

    std::vector<std::string> applicationFolders() const;

private:
    const FileSystem& m_fs;
    std::vector<std::string> m_folders;
};

} // namespace corvane
